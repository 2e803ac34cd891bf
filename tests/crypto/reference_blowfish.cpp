// The only file that includes libcrypto's Blowfish, deprecated since OpenSSL 3;
// the build silences that deprecation here alone.
#include "reference_blowfish.h"

#include <openssl/blowfish.h>

#include <algorithm>
#include <stdexcept>

namespace stagewell::crypto::testing {

namespace {

Bytes ReferenceEcb(const Bytes& key, const Bytes& blocks, int direction) {
  if (blocks.size() % BF_BLOCK != 0) throw std::invalid_argument("partial block");
  BF_KEY schedule;
  BF_set_key(&schedule, static_cast<int>(key.size()), key.data());
  Bytes out(blocks.size());
  const Bytes in = ReverseHalves(blocks);
  for (size_t k = 0; k < in.size(); k += BF_BLOCK) BF_ecb_encrypt(&in[k], &out[k], &schedule, direction);
  return ReverseHalves(out);
}

}  // namespace

Bytes ReverseHalves(Bytes bytes) {
  for (size_t k = 0; k + 4 <= bytes.size(); k += 4) std::reverse(bytes.data() + k, bytes.data() + k + 4);
  return bytes;
}

Bytes ReferenceEncrypt(const Bytes& key, const Bytes& blocks) { return ReferenceEcb(key, blocks, BF_ENCRYPT); }

Bytes ReferenceDecrypt(const Bytes& key, const Bytes& blocks) { return ReferenceEcb(key, blocks, BF_DECRYPT); }

}  // namespace stagewell::crypto::testing
