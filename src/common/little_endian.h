// 32-bit little-endian words in byte buffers: the order of the Windows records
// the identity reads and of the cipher's block halves.
#pragma once

#include <cstdint>
#include <cstring>

namespace stagewell {

// A byte-by-byte load compiles to a long shift chain with g++, which the cipher
// feels, so little-endian hosts copy instead.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
inline uint32_t LoadLittleEndian32(const uint8_t* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}
inline void StoreLittleEndian32(uint8_t* bytes, uint32_t word) { std::memcpy(bytes, &word, sizeof word); }
#else
inline uint32_t LoadLittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}
inline void StoreLittleEndian32(uint8_t* bytes, uint32_t word) {
  bytes[0] = static_cast<uint8_t>(word);
  bytes[1] = static_cast<uint8_t>(word >> 8);
  bytes[2] = static_cast<uint8_t>(word >> 16);
  bytes[3] = static_cast<uint8_t>(word >> 24);
}
#endif

}  // namespace stagewell
