// Shared by the image tests: corpus files from tests/data/images and little-endian patches.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pp::test {

using Bytes = std::vector<uint8_t>;

// The bytes of a corpus file, empty when it is missing.
inline Bytes CorpusFile(const std::string& name) {
    std::ifstream in(std::string(PP_TESTDATA_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline Bytes Patched(Bytes bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

}  // namespace pp::test
