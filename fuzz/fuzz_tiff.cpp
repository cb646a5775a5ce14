// libFuzzer target: arbitrary bytes through the TIFF decoder and, when they decode, through the
// texture bytes for both kinds of load. Any crash, leak or undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = pp::fuzz::TiffInput({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_tiff: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
