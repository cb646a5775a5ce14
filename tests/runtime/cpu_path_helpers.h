// Runs a test's body on each of the engine's vector paths in turn.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "runtime/cpu_path.h"

namespace pp {

// body() once with each path forced (failures name it), then the best path on again.
template <class Body>
void OnEachCpuPath(const std::vector<CpuPath>& paths, Body&& body) {
    for (const CpuPath path : paths) {
        SCOPED_TRACE(CpuPathName(path));
        EXPECT_TRUE(ForceCpuPath(path));
        body();
    }
    ForceCpuPath(BestCpuPath());
}

}  // namespace pp
