#include "runtime/cpu_path.h"

#include <atomic>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace pp {
namespace {

#if defined(__x86_64__)
// The system saves and restores the mask registers and all 32 of the 512-bit registers
// (XCR0 bits 1, 2 and 5 to 7). Asked directly, so that the choice does not rest on how one
// compiler's feature test treats it.
bool SystemSavesZmm() {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_OSXSAVE) == 0) return false;
    unsigned low = 0;
    unsigned high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    constexpr unsigned kZmmState = 0xE6;
    return (low & kZmmState) == kZmmState;
}

bool HasAvx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
           SystemSavesZmm();
}
#endif

CpuPath DetectBest() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2") && HasAvx512()) return CpuPath::Avx512;
    if (__builtin_cpu_supports("avx2")) return CpuPath::Avx2;
#endif
#if defined(__SSE2__)
    return CpuPath::Sse2;
#else
    return CpuPath::Scalar;
#endif
}

// Read by every update and draw, written only by ForceCpuPath: relaxed, as a forced path
// is set before the threads that read it are given work.
std::atomic<int32_t>& Active() {
    static std::atomic<int32_t> active{static_cast<int32_t>(BestCpuPath())};
    return active;
}

}  // namespace

CpuPath BestCpuPath() {
    static const CpuPath best = DetectBest();
    return best;
}

bool HasCpuPath(CpuPath path) {
    return static_cast<int32_t>(path) >= 0 &&
           static_cast<int32_t>(path) <= static_cast<int32_t>(BestCpuPath());
}

std::vector<CpuPath> AvailableCpuPaths() {
    std::vector<CpuPath> paths;
    for (const CpuPath path : {CpuPath::Scalar, CpuPath::Sse2, CpuPath::Avx2, CpuPath::Avx512}) {
        if (HasCpuPath(path)) paths.push_back(path);
    }
    return paths;
}

CpuPath ActiveCpuPath() {
    return static_cast<CpuPath>(Active().load(std::memory_order_relaxed));
}

bool ForceCpuPath(CpuPath path) {
    if (!HasCpuPath(path)) return false;
    Active().store(static_cast<int32_t>(path), std::memory_order_relaxed);
    return true;
}

std::optional<CpuPath> CpuPathNamed(std::string_view name) {
    if (name == "scalar") return CpuPath::Scalar;
    if (name == "sse2") return CpuPath::Sse2;
    if (name == "avx2") return CpuPath::Avx2;
    if (name == "avx512") return CpuPath::Avx512;
    return std::nullopt;
}

const char* CpuPathName(CpuPath path) {
    switch (path) {
        case CpuPath::Scalar:
            return "scalar";
        case CpuPath::Sse2:
            return "sse2";
        case CpuPath::Avx2:
            return "avx2";
        case CpuPath::Avx512:
            return "avx512";
    }
    return "scalar";
}

}  // namespace pp
