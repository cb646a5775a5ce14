// Which of the engine's vector paths runs: the plain code, SSE2 (the x86-64 baseline, and the
// browser's WebAssembly SIMD through emscripten's SSE2 headers), AVX2 or AVX-512 (with its BW,
// DQ and VL parts, and the system saving the wide registers). Every path gives the
// same bits; the fastest one the processor has is chosen once at start-up, and a test or a
// benchmark may force another.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pp {

enum class CpuPath : int32_t { Scalar = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };

// The widest path this build and this processor have.
CpuPath BestCpuPath();
// Whether this build and this processor have the path.
bool HasCpuPath(CpuPath path);
// Every path this build and this processor have, the plain one first.
std::vector<CpuPath> AvailableCpuPaths();
// The path that runs: BestCpuPath() unless forced.
CpuPath ActiveCpuPath();
// Forces the path for every later update and draw; false (and nothing changed) when the
// processor or the build lacks it. Not to be called while another thread updates or draws.
bool ForceCpuPath(CpuPath path);

// "scalar", "sse2", "avx2", "avx512"; nullopt for any other name.
std::optional<CpuPath> CpuPathNamed(std::string_view name);
const char* CpuPathName(CpuPath path);

// ActiveCpuPath() is AVX2 or AVX-512: the eight-wide loops run, where a loop has no
// sixteen-wide form or that form does not pay.
inline bool UseAvx2() {
    return ActiveCpuPath() >= CpuPath::Avx2;
}

// ActiveCpuPath() is AVX-512: the sixteen-wide loops run.
inline bool UseAvx512() {
    return ActiveCpuPath() == CpuPath::Avx512;
}

}  // namespace pp
