// The text forms of cipher bytes: items of two hexadecimal digits, marked by "$".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stagewell::crypto {

// The two forms, for the bytes 0x0A 0xFF 0x00:
//   segment      "$0A$FF$00"  every item after its mark; what EncodeHex writes
//                             and DecodeHex reads;
//   sealed text  "0A$FF$00"   the marks between items only; the form on the wire.
constexpr char kItemMark = '$';

std::string SealedTextFromSegment(const std::string& segment);
std::string SegmentFromSealedText(const std::string& sealedText);

// The segment of the bytes: upper-case digits, leading zero kept.
std::string EncodeHex(const uint8_t* bytes, size_t count);

// One byte for every "$" reached while scanning: the (at most) two characters
// after it are read as strtol reads base 16 (leading white space, a sign, digits
// of either case up to the first non-digit, none giving 0), keeping the low 8
// bits; the scan then resumes after them. Characters outside an item are skipped.
std::vector<uint8_t> DecodeHex(const std::string& text);

}  // namespace stagewell::crypto
