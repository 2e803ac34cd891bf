// The pieces of the machine identity string, as upper-case hexadecimal digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stagewell::identity {

// "%.2X" of the length without trailing zero bytes, then "%.2X" of those
// bytes' 8-bit sum; a length above 255 gives three digits.
std::string DescriptionDigest(const uint8_t* bytes, size_t count);
std::string DescriptionDigest(const std::string& text);

// "%.2X%.2X" of the 8-bit sums of the bytes at even and at odd positions.
std::string FoldText(const std::string& text);

}  // namespace stagewell::identity
