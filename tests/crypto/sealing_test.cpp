#include "crypto/sealing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "common/text.h"
#include "reference_blowfish.h"
#include "test_bytes.h"

namespace stagewell::crypto {
namespace {

using testing::Bytes;
using testing::Hex;

const std::string kKey = "00155D0A1B2C3F4E9A7B";

std::string Sealed(const std::string& query, const std::string& key = kKey) {
  std::string sealed;
  EXPECT_EQ(Seal(query, key, sealed), SealStatus::kSealed);
  return sealed;
}

std::string Opened(const std::string& reply, const std::string& key = kKey) {
  std::string plain;
  EXPECT_TRUE(OpenReply(reply, key, plain));
  return plain;
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// White space as the C library knows it (the "C" locale), independent of ours.
bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The opening rule as first written, one call per run; the oracle for the loop.
std::string OpenReplyOneCallPerRun(const std::string& reply, const CBlowfish& cipher) {
  const std::string text = Trimmed(reply);
  if (!text.empty() && text[0] == '$') return OpenSegment(text, cipher);
  if (text.size() < 3) return {};
  for (size_t i = 2; i < text.size(); i += 3)
    if (text[i] != '$')
      return OpenSegment("$" + text.substr(0, i), cipher) + OpenReplyOneCallPerRun(text.substr(i), cipher);
  return OpenSegment("$" + text, cipher);
}

TEST(SealTest, MatchesLibcryptoWrittenAsHexPairs) {
  std::mt19937 random(31);
  for (size_t length : {0, 1, 8, 9, 200, 10000}) {
    SCOPED_TRACE("length " + std::to_string(length));
    Bytes query = testing::RandomBytes(random, length);
    Bytes padded = query;
    padded.resize(OutputLength(static_cast<uint32_t>(length)), 0);
    std::string expected;
    for (uint8_t b : testing::ReferenceEncrypt(testing::ToBytes(kKey), padded))
      expected += (expected.empty() ? "" : "$") + Hex2(b);
    EXPECT_TRUE(testing::SameBytes(testing::ToBytes(Sealed(std::string(query.begin(), query.end()))),
                                   testing::ToBytes(expected)));
  }
}

TEST(SealTest, WritesThreeCharactersPerCipherByteLessOne) {
  struct Row {
    size_t queryLength, sealedLength;
  };
  const Row rows[] = {{0, 0}, {1, 23}, {8, 23}, {9, 47}, {10000, 29999}};
  for (const Row& row : rows) {
    const std::string sealed = Sealed(std::string(row.queryLength, 'q'));
    EXPECT_EQ(sealed.size(), row.sealedLength) << "query of " << row.queryLength;
    for (size_t i = 0; i < sealed.size(); ++i) {
      const bool separator = i % 3 == 2;
      const char c = sealed[i];
      ASSERT_TRUE(separator ? c == '$' : (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))
          << "query of " << row.queryLength << ": '" << c << "' at " << i;
    }
  }
}

TEST(SealTest, RefusesAnEmptyKeyAndAnOverlongQuery) {
  struct Row {
    const char* name;
    size_t queryLength;
    std::string key;
    SealStatus expected;
  };
  const Row rows[] = {
      {"empty key", 10, "", SealStatus::kEmptyKey},
      {"empty key and empty query", 0, "", SealStatus::kEmptyKey},
      {"query at the limit", kSealLimit, kKey, SealStatus::kSealed},
      {"query one byte over", kSealLimit + 1, kKey, SealStatus::kQueryTooLong},
      {"query far over", 5 * kSealLimit, kKey, SealStatus::kQueryTooLong},
  };
  for (const Row& row : rows) {
    std::string sealed = "stale";
    EXPECT_EQ(Seal(std::string(row.queryLength, '~'), row.key, sealed), row.expected) << row.name;
    EXPECT_EQ(sealed.empty(), row.expected != SealStatus::kSealed) << row.name;
  }
}

TEST(OpenReplyTest, RefusesAnEmptyKey) {
  std::string plain = "stale";
  EXPECT_FALSE(OpenReply(Sealed("OK"), "", plain));
  EXPECT_EQ(plain, "");
}

// A segment of 10000 characters holds 3333 bytes, so the longest query whose
// sealed text opens again is 3328 bytes (3329 pad to 3336).
constexpr size_t kLongestReopened = 3328;

TEST(OpenReplyTest, OpensWhatSealSealed) {
  std::mt19937 random(1255);
  std::uniform_int_distribution<size_t> length(0, kLongestReopened);
  std::uniform_int_distribution<size_t> keyLength(1, 30);
  std::uniform_int_distribution<int> nonZero(1, 255);
  for (int i = 0; i < 60; ++i) {
    std::string query(i == 0 ? kLongestReopened : length(random), ' ');
    for (char& c : query) c = static_cast<char>(nonZero(random));
    const Bytes key = testing::RandomBytes(random, keyLength(random));
    const std::string keyText(key.begin(), key.end());
    ASSERT_TRUE(Opened(Sealed(query, keyText), keyText) == query) << "trial " << i << ", length " << query.size();
  }
  EXPECT_EQ(Opened(Sealed(std::string(kLongestReopened + 1, 'q'))), "");
}

TEST(OpenReplyTest, Cases) {
  const std::string first = Sealed("ACCEPTED");
  const std::string second = Sealed("second run");
  const std::string withZero = Sealed(std::string("cut\0here", 8));
  const std::string over = Sealed(std::string(kLongestReopened + 8, 'x'));  // 10008 characters as a segment
  struct Row {
    const char* name;
    std::string reply;
    std::string expected;
  };
  const Row rows[] = {
      {"one sealed text", first, "ACCEPTED"},
      {"trailing CR LF", first + "\r\n", "ACCEPTED"},
      {"leading spaces and tab", "  \t" + first, "ACCEPTED"},
      {"segment form", "$" + first, "ACCEPTED"},
      {"segment form after spaces", " \n$" + first + " ", "ACCEPTED"},
      {"lower-case digits", LowerCase(first), "ACCEPTED"},
      {"two runs", first + second, "ACCEPTEDsecond run"},
      {"two runs, space between", first + " " + second, "ACCEPTEDsecond run"},
      {"three runs, mixed case", first + LowerCase(second) + first, "ACCEPTEDsecond runACCEPTED"},
      {"run cut at a zero byte", withZero, "cut"},
      {"cut run then another", withZero + first, "cutACCEPTED"},
      {"empty", "", ""},
      {"vertical tab and form feed around", "\v\f" + first + "\f\v", "ACCEPTED"},
      {"vertical tab and form feed between runs", first + "\v\f" + second, "ACCEPTEDsecond run"},
      {"only white space", " \r\n\t\v\f", ""},
      {"one character", "A", ""},
      {"two characters", "4A", ""},
      {"segment over 10000 characters", over, ""},
      {"segment over 10000 characters, then a run", over + first, "ACCEPTED"},
  };
  const auto cipher = CBlowfish::Create(kKey);
  ASSERT_NE(cipher, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string plain = Opened(row.reply);
    EXPECT_EQ(Hex(plain), Hex(row.expected));
    EXPECT_EQ(Hex(plain), Hex(OpenReplyOneCallPerRun(row.reply, *cipher)));
  }
}

TEST(OpenReplyTest, RandomMultiRunRepliesOpenAsOneCallPerRunWould) {
  std::mt19937 random(3);
  const auto cipher = CBlowfish::Create(kKey);
  ASSERT_NE(cipher, nullptr);
  const std::string junk = "0123456789ABCDEFabcdef$$$ \r\n\t\v\fxZ-+";
  std::uniform_int_distribution<int> kind(0, 4);
  std::uniform_int_distribution<size_t> small(0, 40);
  std::uniform_int_distribution<size_t> pick(0, junk.size() - 1);
  for (int trial = 0; trial < 300; ++trial) {
    std::string reply;
    const size_t pieces = 1 + small(random) % 6;
    for (size_t p = 0; p < pieces; ++p) {
      const Bytes query = testing::RandomBytes(random, small(random));
      const std::string sealed = Sealed(std::string(query.begin(), query.end()));
      switch (kind(random)) {
        case 0:
          reply += sealed;
          break;
        case 1:
          reply += LowerCase(sealed);
          break;
        case 2:
          reply += "$" + sealed;
          break;
        case 3:
          reply += sealed.substr(0, small(random));
          break;
        default:
          for (size_t n = small(random) % 5; n > 0; --n) reply += junk[pick(random)];
      }
    }
    ASSERT_EQ(Hex(Opened(reply)), Hex(OpenReplyOneCallPerRun(reply, *cipher)))
        << "trial " << trial << ": \"" << reply << '"';
  }
}

TEST(OpenReplyTest, ManyShortRunsOpenWithoutDeepCalls) {
  // 200000 runs of one item each: one call per run would exhaust the stack. The
  // last run, two characters long, opens to nothing.
  const auto cipher = CBlowfish::Create(kKey);
  ASSERT_NE(cipher, nullptr);
  const std::string one = OpenSegment("$AB", *cipher);
  ASSERT_FALSE(one.empty());
  const int runs = 200000;
  std::string reply;
  std::string expected;
  for (int run = 0; run < runs; ++run) {
    reply += "AB";
    if (run + 1 < runs) expected += one;
  }
  const std::string plain = Opened(reply);
  EXPECT_EQ(plain.size(), expected.size());
  EXPECT_TRUE(plain == expected);
}

TEST(OpenSegmentTest, OpensUpTo10000Characters) {
  const auto cipher = CBlowfish::Create(kKey);
  ASSERT_NE(cipher, nullptr);
  const std::string segment = "$" + Sealed(std::string(kLongestReopened, 'y'));  // 9984 characters
  const std::string atLimit = segment + std::string(kSegmentLimit - segment.size(), 'x');
  EXPECT_TRUE(OpenSegment(atLimit, *cipher) == std::string(kLongestReopened, 'y'));
  EXPECT_EQ(OpenSegment(atLimit + "x", *cipher), "");
}

}  // namespace
}  // namespace stagewell::crypto
