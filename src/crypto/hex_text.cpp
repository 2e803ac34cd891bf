#include "crypto/hex_text.h"

#include <algorithm>

#include "common/text.h"

namespace stagewell::crypto {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr uint8_t kNotDigit = 0xFF;

struct DigitTable {
  uint8_t value[256];
  constexpr DigitTable() : value() {
    for (uint8_t& digit : value) digit = kNotDigit;
    for (int d = 0; d < 10; ++d) value['0' + d] = static_cast<uint8_t>(d);
    for (int d = 0; d < 6; ++d) {
      value['A' + d] = static_cast<uint8_t>(10 + d);
      value['a' + d] = static_cast<uint8_t>(10 + d);
    }
  }
};
constexpr DigitTable kDigitValue;

inline uint8_t DigitValue(char c) { return kDigitValue.value[static_cast<uint8_t>(c)]; }

// strtol(item, nullptr, 16) over the one or two characters of an item that is
// not plainly two digits. A "0x" prefix needs no case of its own: nothing can
// follow it within two characters, and its "0" reads as 0 either way.
uint8_t ReadIrregularItem(const char* item, size_t length) {
  size_t k = 0;
  while (k < length && IsAsciiSpace(item[k])) ++k;
  bool negative = false;
  if (k < length && (item[k] == '+' || item[k] == '-')) negative = item[k++] == '-';
  unsigned value = 0;
  for (; k < length && DigitValue(item[k]) != kNotDigit; ++k) value = value * 16 + DigitValue(item[k]);
  return static_cast<uint8_t>(negative ? 0u - value : value);
}

}  // namespace

std::string SealedTextFromSegment(const std::string& segment) {
  return segment.empty() ? std::string() : segment.substr(1);
}

std::string SegmentFromSealedText(const std::string& sealedText) { return kItemMark + sealedText; }

std::string EncodeHex(const uint8_t* bytes, size_t count) {
  std::string text(3 * count, kItemMark);
  char* out = text.data();
  for (size_t i = 0; i < count; ++i, out += 3) {
    out[1] = kDigits[bytes[i] >> 4];
    out[2] = kDigits[bytes[i] & 0x0F];
  }
  return text;
}

std::vector<uint8_t> DecodeHex(const std::string& text) {
  const char* chars = text.data();
  const size_t length = text.size();
  // Every item but the last takes three characters.
  std::vector<uint8_t> bytes((length + 2) / 3);
  size_t count = 0;
  size_t j = 0;
  while (j < length) {
    if (chars[j] != kItemMark) {
      ++j;
      continue;
    }
    const size_t digits = std::min<size_t>(2, length - j - 1);
    const uint8_t high = digits == 2 ? DigitValue(chars[j + 1]) : kNotDigit;
    const uint8_t low = digits == 2 ? DigitValue(chars[j + 2]) : kNotDigit;
    bytes[count++] =
        (high | low) < 16 ? static_cast<uint8_t>(high << 4 | low) : ReadIrregularItem(chars + j + 1, digits);
    j += 3;
  }
  bytes.resize(count);
  return bytes;
}

}  // namespace stagewell::crypto
