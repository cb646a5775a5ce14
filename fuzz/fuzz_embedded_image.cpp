// libFuzzer target: the text of an embedded image, or image bytes compressed and encoded by the
// harness, through base64, inflation and the PNG and TIFF decoders (see fuzz/harness.h). Any crash,
// leak or undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = pp::fuzz::EmbeddedImageInput({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_embedded_image: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
