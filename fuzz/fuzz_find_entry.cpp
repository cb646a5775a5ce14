// libFuzzer target: FindEntry on arbitrary texts, key paths and delimiter sets, checked against
// a plain reference scan. Input layout in fuzz/harness.h.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = pp::fuzz::FindEntryInput({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_find_entry: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
