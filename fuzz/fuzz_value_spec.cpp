// libFuzzer target: both parameter parsers, the setting rule and sampling on arbitrary texts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = pp::fuzz::ValueSpecInput({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_value_spec: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
