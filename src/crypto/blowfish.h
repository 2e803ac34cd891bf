// Blowfish in electronic-codebook mode with zero padding, keyed by the machine
// identity string. Each 4-byte half of a block is read and written little-endian,
// the one point where it differs from the published big-endian reference: a peer
// using the reference reverses the bytes of each half before and after each block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "crypto/blowfish_tables.h"

namespace stagewell::crypto {

// `n` rounded up to a multiple of 8 (0 stays 0); wraps to 0 above 0xFFFFFFF8.
uint32_t OutputLength(uint32_t n);

class CBlowfish {
 public:
  // Runs the key schedule. Returns null for an empty key, which the schedule
  // cannot cycle through; the caller reports that refusal. Only the first 72 key
  // bytes take part, longer keys are accepted. Out of memory throws as usual.
  static std::unique_ptr<CBlowfish> Create(const uint8_t* key, size_t length);
  static std::unique_ptr<CBlowfish> Create(const std::string& key);

  CBlowfish(const CBlowfish&) = delete;
  CBlowfish& operator=(const CBlowfish&) = delete;

  // Enciphers `length` bytes, the last block padded with zero bytes, and returns
  // OutputLength(length), the count written; `destination` must hold that many.
  // A length above 0xFFFFFFF8 writes nothing and returns 0. The buffers may be
  // the same one, but must not otherwise overlap.
  uint32_t Encrypt(uint8_t* destination, const uint8_t* source, uint32_t length) const;

  // Deciphers ceil(length / 8) whole blocks: both buffers hold that many times 8
  // bytes, a trailing partial block being read whole from `source`. No padding
  // is removed. Same buffer or no overlap, as for Encrypt.
  void Decrypt(uint8_t* destination, const uint8_t* source, uint32_t length) const;

  // One block as its two words; the result's halves come out exchanged, as
  // Blowfish defines.
  void EncipherBlock(uint32_t& left, uint32_t& right) const;
  void DecipherBlock(uint32_t& left, uint32_t& right) const;

 private:
  CBlowfish() = default;
  void Schedule(const uint8_t* key, size_t length);
  void CipherBlocks(const uint32_t* p, uint8_t* destination, const uint8_t* source, size_t blocks) const;

  // Deciphering is enciphering with the P-array reversed; both orders are kept.
  uint32_t m_aEncryptP[kPWords];
  uint32_t m_aDecryptP[kPWords];
  uint32_t m_aS[kSBoxes * kSBoxWords];
};

}  // namespace stagewell::crypto
