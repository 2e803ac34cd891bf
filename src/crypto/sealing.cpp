#include "crypto/sealing.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace stagewell::crypto {

namespace {

// Length of the first sealed text in `text` (trimmed, at least 3 characters): a
// sealed text has its marks at every third position from the third on, so it
// ends at the first such position that holds anything else.
size_t FirstRunLength(const char* text, size_t length) {
  size_t i = 2;
  while (i < length && text[i] == kItemMark) i += 3;
  return std::min(i, length);
}

}  // namespace

SealStatus Seal(const std::string& query, const std::string& key, std::string& sealed) {
  sealed.clear();
  const std::unique_ptr<CBlowfish> cipher = CBlowfish::Create(key);
  if (!cipher) return SealStatus::kEmptyKey;
  if (query.size() > kSealLimit) return SealStatus::kQueryTooLong;

  const auto length = static_cast<uint32_t>(query.size());
  std::vector<uint8_t> cipherText(OutputLength(length));
  cipher->Encrypt(cipherText.data(), reinterpret_cast<const uint8_t*>(query.data()), length);
  sealed = SealedTextFromSegment(EncodeHex(cipherText.data(), cipherText.size()));
  return SealStatus::kSealed;
}

std::string OpenSegment(const std::string& segment, const CBlowfish& cipher) {
  if (segment.size() > kSegmentLimit) return {};
  std::vector<uint8_t> bytes = DecodeHex(segment);
  // The segment limit keeps the count far below 32 bits.
  const auto count = static_cast<uint32_t>(bytes.size());
  bytes.resize(OutputLength(count), 0);
  cipher.Decrypt(bytes.data(), bytes.data(), count);
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

// Run by run in a loop: a reply of many short runs must not cost a stack frame each.
bool OpenReply(const std::string& reply, const std::string& key, std::string& plain) {
  plain.clear();
  const std::unique_ptr<CBlowfish> cipher = CBlowfish::Create(key);
  if (!cipher) return false;

  size_t begin = 0;
  size_t end = reply.size();
  while (end > begin && IsAsciiSpace(reply[end - 1])) --end;
  for (;;) {
    while (begin < end && IsAsciiSpace(reply[begin])) ++begin;
    const size_t length = end - begin;
    if (length > 0 && reply[begin] == kItemMark) {
      plain += OpenSegment(reply.substr(begin, length), *cipher);
      break;
    }
    if (length < 3) break;
    const size_t run = FirstRunLength(reply.data() + begin, length);
    plain += OpenSegment(SegmentFromSealedText(reply.substr(begin, run)), *cipher);
    begin += run;
  }
  return true;
}

}  // namespace stagewell::crypto
