// Blowfish as libcrypto computes it, seen through our byte order: each 4-byte
// half is reversed before and after every block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stagewell::crypto::testing {

using Bytes = std::vector<uint8_t>;

// Reverses the bytes of each 4-byte half of every 8-byte block (a whole number of blocks).
Bytes ReverseHalves(Bytes bytes);

// ECB over whole blocks through BF_set_key and BF_ecb_encrypt.
Bytes ReferenceEncrypt(const Bytes& key, const Bytes& blocks);
Bytes ReferenceDecrypt(const Bytes& key, const Bytes& blocks);

}  // namespace stagewell::crypto::testing
