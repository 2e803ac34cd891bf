// DecodeHex on any text: no access outside a buffer, and every item read exactly
// as strtol reads it; EncodeHex's text decodes back to its bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "crypto/hex_text.h"

namespace {

std::vector<uint8_t> DecodeWithStrtol(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t j = 0; j < text.size();) {
    if (text[j] != '$') {
      ++j;
      continue;
    }
    char item[3] = {};
    text.copy(item, 2, j + 1);
    bytes.push_back(static_cast<uint8_t>(std::strtol(item, nullptr, 16)));
    j += 3;
  }
  return bytes;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace stagewell::crypto;
  const std::string text(reinterpret_cast<const char*>(data), size);
  Check(DecodeHex(text) == DecodeWithStrtol(text));
  Check(DecodeHex(EncodeHex(data, size)) == std::vector<uint8_t>(data, data + size));
  return 0;
}
