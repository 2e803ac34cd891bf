#include "identity/identity_text.h"

#include "common/text.h"

namespace stagewell::identity {

std::string DescriptionDigest(const uint8_t* bytes, size_t count) {
  size_t length = count;
  while (length > 0 && bytes[length - 1] == 0) --length;
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return Hex2(static_cast<uint32_t>(length)) + Hex2(sum);
}

std::string DescriptionDigest(const std::string& text) {
  return DescriptionDigest(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string FoldText(const std::string& text) {
  uint8_t sums[2] = {0, 0};
  for (size_t i = 0; i < text.size(); ++i)
    sums[i % 2] = static_cast<uint8_t>(sums[i % 2] + static_cast<uint8_t>(text[i]));
  return Hex2(sums[0]) + Hex2(sums[1]);
}

}  // namespace stagewell::identity
