// CBlowfish against libcrypto's Blowfish, through the byte-order rule.
#include <gtest/gtest.h>

#include "crypto/blowfish.h"
#include "reference_blowfish.h"
#include "test_bytes.h"

namespace stagewell::crypto {
namespace {

using testing::Bytes;
using testing::Hex;

struct Trial {
  Bytes key;
  Bytes data;  // the length under test; Decrypt reads it padded to whole blocks
};

Trial RandomTrial(std::mt19937& random) {
  std::uniform_int_distribution<size_t> keyLength(1, 100);
  std::uniform_int_distribution<size_t> dataLength(0, 10000);
  Trial trial;
  trial.key = testing::RandomBytes(random, keyLength(random));
  trial.data = testing::RandomBytes(random, dataLength(random));
  return trial;
}

Bytes Padded(Bytes data) {
  data.resize(OutputLength(static_cast<uint32_t>(data.size())), 0);
  return data;
}

void ExpectLikeReference(const Trial& trial) {
  const auto cipher = CBlowfish::Create(trial.key.data(), trial.key.size());
  ASSERT_NE(cipher, nullptr);
  const auto length = static_cast<uint32_t>(trial.data.size());
  const Bytes whole = Padded(trial.data);

  const Bytes expectedSealed = testing::ReferenceEncrypt(trial.key, whole);
  Bytes distinct(whole.size(), 0xEE);
  EXPECT_EQ(cipher->Encrypt(distinct.data(), trial.data.data(), length), whole.size());
  EXPECT_TRUE(testing::SameBytes(distinct, expectedSealed)) << "Encrypt, distinct buffers";
  Bytes inPlace = trial.data;
  inPlace.resize(whole.size(), 0xEE);
  cipher->Encrypt(inPlace.data(), inPlace.data(), length);
  EXPECT_TRUE(testing::SameBytes(inPlace, expectedSealed)) << "Encrypt, one buffer";

  // Random bytes as cipher text: Decrypt takes every block, also a partial last one, whole.
  const Bytes expectedOpened = testing::ReferenceDecrypt(trial.key, whole);
  Bytes opened(whole.size(), 0xEE);
  cipher->Decrypt(opened.data(), whole.data(), length);
  EXPECT_TRUE(testing::SameBytes(opened, expectedOpened)) << "Decrypt, distinct buffers";
  Bytes openedInPlace = whole;
  cipher->Decrypt(openedInPlace.data(), openedInPlace.data(), length);
  EXPECT_TRUE(testing::SameBytes(openedInPlace, expectedOpened)) << "Decrypt, one buffer";
}

TEST(ReferenceTest, RandomKeysAndLengthsAgreeWithLibcrypto) {
  std::mt19937 random(20240603);
  for (int i = 0; i < 150; ++i) {
    const Trial trial = RandomTrial(random);
    SCOPED_TRACE("trial " + std::to_string(i) + ", key " + Hex(trial.key) + ", length " +
                 std::to_string(trial.data.size()));
    ExpectLikeReference(trial);
    if (::testing::Test::HasFailure()) break;  // one trial's report is enough
  }
}

TEST(ReferenceTest, EdgeKeysAgreeWithLibcrypto) {
  std::mt19937 random(128);
  struct Row {
    const char* name;
    Bytes key;
  };
  // Bytes of 128 and above must enter the schedule unsigned.
  const Row rows[] = {
      {"one byte 0x80", {0x80}},
      {"one byte 0xFF", {0xFF}},
      {"high bytes", {0x80, 0xFF, 0xC3, 0x9A, 0xE0, 0x81}},
      {"Windows-1255 letters", {0xE0, 0xE1, 0xE2, 0xF9, 0xFA}},
      {"zero bytes", {0x00, 0x00, 0x00}},
      {"20 identity digits", testing::ToBytes("00155D0A1B2C3F4E9A7B")},
      {"72 bytes", testing::RandomBytes(random, 72)},
      {"73 bytes", testing::RandomBytes(random, 73)},
  };
  const Bytes data = testing::RandomBytes(random, 77);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectLikeReference({row.key, data});
  }
}

}  // namespace
}  // namespace stagewell::crypto
