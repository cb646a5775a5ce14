// The work each fuzz target does with one input, shared with the replay of saved findings in
// the ordinary test build. Every function returns an empty string when each invariant held,
// else one line saying what broke; crashes and undefined behaviour are left to the sanitizers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pp::fuzz {

// Input: a flags byte; when its low bit is set, four delimiter bytes; then the key path up to
// the first NUL byte; the rest is the text. FindEntry must agree with a plain reference scan,
// and the number conversions run on what it returns.
std::string FindEntryInput(std::span<const uint8_t> data);

// Input: the inside of a parameter's block. Both parsers, the setting rule and a few samples.
std::string ValueSpecInput(std::span<const uint8_t> data);

// Input: up to four effect files separated by "|||", written as a.txt, b.txt, c.txt and d.txt
// into the working directory (which must be a scratch folder), so that "Extends\" can name
// them. a.txt is loaded (its stored parameters must keep the setters' rules), then the emitter
// runs 200 updates (one a stall of 1.2 s) on a virtual clock that starts at 1000 or, for
// inputs of odd length, shortly before 2^31 ms, with a particle budget of 500.
std::string LoaderInput(std::span<const uint8_t> data);

// The bytes as base64 text, `lineBreak` after every `lineLength` characters (0: one line); the
// embedded-image target and its tests write their texts with it.
std::string Base64Text(std::span<const uint8_t> bytes, size_t lineLength = 0,
                       std::string_view lineBreak = "\n");

// Input: an image file, through one decoder and, when it decodes, the texture bytes.
std::string PngInput(std::span<const uint8_t> data);
std::string BmpInput(std::span<const uint8_t> data);
std::string TiffInput(std::span<const uint8_t> data);

// Input: a flags byte, then the rest. With bit 0 set the rest is the text of an embedded image
// as it stands; otherwise the rest is compressed (bit 1: gzip, bit 2: zlib, else stored) and
// base64-encoded here, so that the fuzzer reaches the image decoders behind. The decode must
// give a well-formed 32-bit image or a one-line reason; an encoded text decodes the same
// broken into lines of 57 characters.
std::string EmbeddedImageInput(std::span<const uint8_t> data);

// Input: a .plist (or .pex) file, imported as it is and again inside the format's root
// elements. When it imports, check must find no error in the text and every finding must
// stand on a line of the file.
std::string PlistInput(std::span<const uint8_t> data);
std::string PexInput(std::span<const uint8_t> data);

// Input: a libGDX .p file, imported as it is and again behind an emitter's first lines. When it
// imports, check must find no error in any emitter's text and every finding must stand on a
// line of the file.
std::string GdxInput(std::span<const uint8_t> data);

}  // namespace pp::fuzz
