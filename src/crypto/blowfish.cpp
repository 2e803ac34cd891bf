#include "crypto/blowfish.h"

#include <algorithm>
#include <cstring>

#include "common/little_endian.h"

// The interleaved kernel must stay a call of its own (see CipherBlocks).
#if defined(__GNUC__)
#define SW_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define SW_NOINLINE __declspec(noinline)
#else
#define SW_NOINLINE
#endif

namespace stagewell::crypto {

namespace {

constexpr size_t kBlockBytes = 8;
constexpr uint32_t kLargestLength = 0xFFFFFFF8u;  // the largest multiple of 8

// F(x) over the four S-boxes, which lie one after another in `s`.
inline uint32_t Feistel(const uint32_t* s, uint32_t x) {
  const uint32_t* s0 = s;
  const uint32_t* s1 = s + kSBoxWords;
  const uint32_t* s2 = s + 2 * kSBoxWords;
  const uint32_t* s3 = s + 3 * kSBoxWords;
  return ((s0[x >> 24] + s1[x >> 16 & 0xFF]) ^ s2[x >> 8 & 0xFF]) + s3[x & 0xFF];
}

// The 16 rounds and the final exchange; `p` in encipher or decipher order. The
// key schedule runs 521 blocks one after another, so each block's latency counts:
// the rounds are unrolled, and the P word joins the half before F does, which
// takes a step off the chain from round to round.
inline void CipherWords(const uint32_t* p, const uint32_t* s, uint32_t& left, uint32_t& right) {
  uint32_t l = left ^ p[0];
  uint32_t r = right;
#pragma GCC unroll 8
  for (size_t round = 1; round < 17; round += 2) {
    r = (r ^ p[round]) ^ Feistel(s, l);
    l = (l ^ p[round + 1]) ^ Feistel(s, r);
  }
  left = r ^ p[17];
  right = l;
}

}  // namespace

uint32_t OutputLength(uint32_t n) { return (n + 7u) & ~uint32_t{7}; }

std::unique_ptr<CBlowfish> CBlowfish::Create(const uint8_t* key, size_t length) {
  if (key == nullptr || length == 0) return nullptr;
  std::unique_ptr<CBlowfish> cipher(new CBlowfish());
  cipher->Schedule(key, length);
  return cipher;
}

std::unique_ptr<CBlowfish> CBlowfish::Create(const std::string& key) {
  return Create(reinterpret_cast<const uint8_t*>(key.data()), key.size());
}

void CBlowfish::Schedule(const uint8_t* key, size_t length) {
  std::copy(std::begin(kInitialS), std::end(kInitialS), m_aS);

  // The key repeats cyclically, first byte most significant; only 72 bytes fit.
  size_t j = 0;
  for (size_t i = 0; i < kPWords; ++i) {
    uint32_t word = 0;
    for (int k = 0; k < 4; ++k) {
      word = word << 8 | key[j];
      j = (j + 1) % length;
    }
    m_aEncryptP[i] = kInitialP[i] ^ word;
  }

  // The cipher, as keyed so far, replaces the tables two words at a time.
  uint32_t left = 0;
  uint32_t right = 0;
  for (size_t i = 0; i < kPWords; i += 2) {
    CipherWords(m_aEncryptP, m_aS, left, right);
    m_aEncryptP[i] = left;
    m_aEncryptP[i + 1] = right;
  }
  for (size_t i = 0; i < kSBoxes * kSBoxWords; i += 2) {
    CipherWords(m_aEncryptP, m_aS, left, right);
    m_aS[i] = left;
    m_aS[i + 1] = right;
  }

  std::reverse_copy(std::begin(m_aEncryptP), std::end(m_aEncryptP), m_aDecryptP);
}

void CBlowfish::EncipherBlock(uint32_t& left, uint32_t& right) const { CipherWords(m_aEncryptP, m_aS, left, right); }

void CBlowfish::DecipherBlock(uint32_t& left, uint32_t& right) const { CipherWords(m_aDecryptP, m_aS, left, right); }

// Rounds depend on each other within a block but not across blocks, so four
// blocks go through the rounds together and the table loads overlap. Kept out of
// line: inlined into its callers, g++ vectorised it into slower code.
SW_NOINLINE void CBlowfish::CipherBlocks(const uint32_t* p, uint8_t* destination, const uint8_t* source,
                                         size_t blocks) const {
  const uint32_t* s = m_aS;
  size_t block = 0;
  for (; block + 4 <= blocks; block += 4) {
    const uint8_t* in = source + block * kBlockBytes;
    uint32_t l0 = LoadLittleEndian32(in) ^ p[0], r0 = LoadLittleEndian32(in + 4);
    uint32_t l1 = LoadLittleEndian32(in + 8) ^ p[0], r1 = LoadLittleEndian32(in + 12);
    uint32_t l2 = LoadLittleEndian32(in + 16) ^ p[0], r2 = LoadLittleEndian32(in + 20);
    uint32_t l3 = LoadLittleEndian32(in + 24) ^ p[0], r3 = LoadLittleEndian32(in + 28);
#pragma GCC unroll 8
    for (size_t round = 1; round < 17; round += 2) {
      r0 = (r0 ^ p[round]) ^ Feistel(s, l0);
      r1 = (r1 ^ p[round]) ^ Feistel(s, l1);
      r2 = (r2 ^ p[round]) ^ Feistel(s, l2);
      r3 = (r3 ^ p[round]) ^ Feistel(s, l3);
      l0 = (l0 ^ p[round + 1]) ^ Feistel(s, r0);
      l1 = (l1 ^ p[round + 1]) ^ Feistel(s, r1);
      l2 = (l2 ^ p[round + 1]) ^ Feistel(s, r2);
      l3 = (l3 ^ p[round + 1]) ^ Feistel(s, r3);
    }
    uint8_t* out = destination + block * kBlockBytes;
    StoreLittleEndian32(out, r0 ^ p[17]);
    StoreLittleEndian32(out + 4, l0);
    StoreLittleEndian32(out + 8, r1 ^ p[17]);
    StoreLittleEndian32(out + 12, l1);
    StoreLittleEndian32(out + 16, r2 ^ p[17]);
    StoreLittleEndian32(out + 20, l2);
    StoreLittleEndian32(out + 24, r3 ^ p[17]);
    StoreLittleEndian32(out + 28, l3);
  }
  for (; block < blocks; ++block) {
    uint32_t left = LoadLittleEndian32(source + block * kBlockBytes);
    uint32_t right = LoadLittleEndian32(source + block * kBlockBytes + 4);
    CipherWords(p, s, left, right);
    StoreLittleEndian32(destination + block * kBlockBytes, left);
    StoreLittleEndian32(destination + block * kBlockBytes + 4, right);
  }
}

uint32_t CBlowfish::Encrypt(uint8_t* destination, const uint8_t* source, uint32_t length) const {
  if (length > kLargestLength) return 0;
  const size_t whole = length / kBlockBytes;
  CipherBlocks(m_aEncryptP, destination, source, whole);
  if (const size_t rest = length % kBlockBytes; rest != 0) {
    uint8_t last[kBlockBytes] = {};
    std::memcpy(last, source + whole * kBlockBytes, rest);
    CipherBlocks(m_aEncryptP, destination + whole * kBlockBytes, last, 1);
  }
  return OutputLength(length);
}

void CBlowfish::Decrypt(uint8_t* destination, const uint8_t* source, uint32_t length) const {
  const size_t blocks = length / kBlockBytes + (length % kBlockBytes != 0 ? 1 : 0);
  CipherBlocks(m_aDecryptP, destination, source, blocks);
}

}  // namespace stagewell::crypto
