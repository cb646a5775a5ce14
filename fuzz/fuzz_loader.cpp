// libFuzzer target: up to four effect files that may extend each other, loaded and run for 200
// updates on a virtual clock. Runs in a scratch folder of its own, since the files are written
// into the working directory for "Extends\" to find them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char scratch[] = "/tmp/pp_fuzz_loader_XXXXXX";
    if (mkdtemp(scratch) == nullptr || chdir(scratch) != 0) {
        std::perror("fuzz_loader: scratch folder");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = pp::fuzz::LoaderInput({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_loader: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
