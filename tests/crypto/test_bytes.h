// Byte helpers shared by the crypto tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace stagewell::crypto::testing {

using Bytes = std::vector<uint8_t>;

// "0A FF 00": how failures show bytes.
inline std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}
inline std::string Hex(const std::string& text) { return Hex(Bytes(text.begin(), text.end())); }

// "0123456789ABCDEF" -> bytes.
inline Bytes FromHex(const std::string& digits) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

// For long buffers: equal, or the first differing offset with that block of each.
inline ::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const size_t common = std::min(actual.size(), expected.size());
  const size_t at =
      static_cast<size_t>(std::mismatch(actual.data(), actual.data() + common, expected.data()).first - actual.data());
  const size_t block = at / 8 * 8;
  auto slice = [block](const Bytes& bytes) {
    return Bytes(bytes.data() + std::min(block, bytes.size()), bytes.data() + std::min(block + 8, bytes.size()));
  };
  return ::testing::AssertionFailure() << actual.size() << " bytes against " << expected.size()
                                       << ", first difference at byte " << at << ": block at " << block << " is "
                                       << Hex(slice(actual)) << ", expected " << Hex(slice(expected));
}

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes RandomBytes(std::mt19937& random, size_t count) {
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(byte(random));
  return bytes;
}

}  // namespace stagewell::crypto::testing
