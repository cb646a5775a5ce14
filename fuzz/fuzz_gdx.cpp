// libFuzzer target: arbitrary bytes through the .p (libGDX) import (reader and mapping). Any crash,
// leak or undefined behaviour, or an imported text that check finds errors in, is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = pp::fuzz::GdxInput({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_gdx: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
