// OpenReply on any reply and key: no access outside a buffer, the same result as
// opening one call per run, and whatever Seal writes opens again.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/sealing.h"

namespace {

using namespace stagewell::crypto;

// The opening rule as first written, one call per run (replies here are short
// enough for the recursion), over offsets and appending so that long replies of
// short runs do not cost quadratic copying.
// White space as the C library knows it (the "C" locale), independent of ours.
bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void OpenOneCallPerRun(const std::string& reply, size_t begin, const CBlowfish& cipher, std::string& plain) {
  size_t end = reply.size();
  while (begin < end && IsSpace(reply[begin])) ++begin;
  while (end > begin && IsSpace(reply[end - 1])) --end;
  const size_t length = end - begin;
  if (length > 0 && reply[begin] == '$') {
    plain += OpenSegment(reply.substr(begin, length), cipher);
    return;
  }
  if (length < 3) return;
  for (size_t i = 2; i < length; i += 3) {
    if (reply[begin + i] != '$') {
      plain += OpenSegment("$" + reply.substr(begin, i), cipher);
      OpenOneCallPerRun(reply, begin + i, cipher, plain);
      return;
    }
  }
  plain += OpenSegment("$" + reply.substr(begin, length), cipher);
}

// A segment opens at most 10000 characters, 3333 bytes: the longest query whose
// sealed text opens again is 3328 bytes.
constexpr size_t kLongestReopened = 3328;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// Input: one byte giving the key length, the key, then the reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t keyLength = std::min<size_t>(data[0] % 80, size - 1);
  const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
  const std::string reply(reinterpret_cast<const char*>(data + 1 + keyLength), size - 1 - keyLength);

  std::string plain = "stale";
  const bool opened = OpenReply(reply, key, plain);
  Check(opened == !key.empty());
  if (!opened) {
    Check(plain.empty());
    return 0;
  }
  Check(plain.find('\0') == std::string::npos);
  const auto cipher = CBlowfish::Create(key);
  std::string expected;
  OpenOneCallPerRun(reply, 0, *cipher, expected);
  Check(plain == expected);

  // The reply's bytes as a query: sealed, they open to the text before any zero byte.
  std::string sealed;
  const SealStatus status = Seal(reply, key, sealed);
  Check(status == (reply.size() > kSealLimit ? SealStatus::kQueryTooLong : SealStatus::kSealed));
  if (status == SealStatus::kSealed && reply.size() <= kLongestReopened) {
    Check(OpenReply(sealed, key, plain));
    Check(plain == reply.substr(0, reply.find('\0')));
  }
  return 0;
}
