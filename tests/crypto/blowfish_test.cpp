#include "crypto/blowfish.h"

#include <gtest/gtest.h>

#include "reference_blowfish.h"
#include "test_bytes.h"

namespace stagewell::crypto {
namespace {

using testing::Bytes;
using testing::FromHex;
using testing::Hex;
using testing::ReverseHalves;

Bytes EncryptBytes(const CBlowfish& cipher, const Bytes& plain) {
  Bytes out(OutputLength(static_cast<uint32_t>(plain.size())));
  const uint32_t written = cipher.Encrypt(out.data(), plain.data(), static_cast<uint32_t>(plain.size()));
  EXPECT_EQ(written, out.size());
  return out;
}

Bytes DecryptBytes(const CBlowfish& cipher, const Bytes& sealed) {
  Bytes out(sealed.size());
  cipher.Decrypt(out.data(), sealed.data(), static_cast<uint32_t>(sealed.size()));
  return out;
}

std::unique_ptr<CBlowfish> Keyed(const Bytes& key) {
  auto cipher = CBlowfish::Create(key.data(), key.size());
  EXPECT_NE(cipher, nullptr);
  return cipher;
}

TEST(OutputLengthTest, RoundsUpToWholeBlocks) {
  struct Row {
    uint32_t n, expected;
  };
  const Row rows[] = {{0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {16, 16}, {10000, 10000}, {0xFFFFFFF8u, 0xFFFFFFF8u}};
  for (const Row& row : rows) EXPECT_EQ(OutputLength(row.n), row.expected) << "n = " << row.n;
}

TEST(BlowfishTest, RefusesAnEmptyKey) {
  const uint8_t byte = 0x41;
  EXPECT_EQ(CBlowfish::Create(&byte, 0), nullptr);
  EXPECT_EQ(CBlowfish::Create(nullptr, 0), nullptr);
  EXPECT_EQ(CBlowfish::Create(std::string()), nullptr);
  EXPECT_NE(CBlowfish::Create(std::string("A")), nullptr);
}

// The published known-answer vectors (big-endian blocks), taken through the
// byte-order rule: reversed halves in, reversed halves out.
struct KnownAnswer {
  const char* key;
  const char* plain;
  const char* cipher;
};

// clang-format off
const KnownAnswer kKnownAnswers[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    // Key lengths 1 to 24 (the variable-key set): key bytes beyond 8 and short keys that cycle.
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1", "FEDCBA9876543210", "E91D21C1D961A6D6"},
    {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
    {"F0E1D2C3", "FEDCBA9876543210", "BE1E639408640F05"},
    {"F0E1D2C3B4", "FEDCBA9876543210", "B39E44481BDB1E6E"},
    {"F0E1D2C3B4A5", "FEDCBA9876543210", "9457AA83B1928C0D"},
    {"F0E1D2C3B4A596", "FEDCBA9876543210", "8BB77032F960629D"},
    {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
    {"F0E1D2C3B4A5968778", "FEDCBA9876543210", "15750E7A4F4EC577"},
    {"F0E1D2C3B4A596877869", "FEDCBA9876543210", "122BA70B3AB64AE0"},
    {"F0E1D2C3B4A5968778695A", "FEDCBA9876543210", "3A833C9AFFC537F6"},
    {"F0E1D2C3B4A5968778695A4B", "FEDCBA9876543210", "9409DA87A90F6BF2"},
    {"F0E1D2C3B4A5968778695A4B3C", "FEDCBA9876543210", "884F80625060B8B4"},
    {"F0E1D2C3B4A5968778695A4B3C2D", "FEDCBA9876543210", "1F85031C19E11968"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E", "FEDCBA9876543210", "79D9373A714CA34F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F00", "FEDCBA9876543210", "03429E838CE2D14B"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011", "FEDCBA9876543210", "A4299E27469FF67B"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F001122", "FEDCBA9876543210", "AFD5AED1C1BC96A8"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F00112233", "FEDCBA9876543210", "10851C0E3858DA9F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344", "FEDCBA9876543210", "E6F51ED79B9DB21F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F001122334455", "FEDCBA9876543210", "64A6E14AFD36B46F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F00112233445566", "FEDCBA9876543210", "80C7D7D45A5479AD"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};
// clang-format on

TEST(BlowfishTest, MatchesThePublishedVectorsThroughTheByteOrderRule) {
  for (const KnownAnswer& row : kKnownAnswers) {
    SCOPED_TRACE(std::string("key ") + row.key + ", plain " + row.plain);
    const auto cipher = Keyed(FromHex(row.key));
    if (!cipher) continue;
    const Bytes plain = ReverseHalves(FromHex(row.plain));
    const Bytes expected = ReverseHalves(FromHex(row.cipher));
    EXPECT_EQ(Hex(EncryptBytes(*cipher, plain)), Hex(expected));
    EXPECT_EQ(Hex(DecryptBytes(*cipher, expected)), Hex(plain));
  }
}

TEST(BlowfishTest, BlockWordsAreTheLittleEndianHalves) {
  // EncipherBlock on the words agrees with Encrypt on their bytes.
  const auto cipher = Keyed(FromHex("0123456789ABCDEF"));
  ASSERT_NE(cipher, nullptr);
  const Bytes plain = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  uint32_t left = 0x04030201, right = 0x08070605;
  cipher->EncipherBlock(left, right);
  const Bytes sealed = EncryptBytes(*cipher, plain);
  EXPECT_EQ(left, uint32_t{sealed[0]} | sealed[1] << 8 | sealed[2] << 16 | uint32_t{sealed[3]} << 24);
  EXPECT_EQ(right, uint32_t{sealed[4]} | sealed[5] << 8 | sealed[6] << 16 | uint32_t{sealed[7]} << 24);
  cipher->DecipherBlock(left, right);
  EXPECT_EQ(left, 0x04030201u);
  EXPECT_EQ(right, 0x08070605u);
}

TEST(BlowfishTest, PadsTheLastBlockWithZeroBytes) {
  struct Row {
    const char* name;
    Bytes plain;
    Bytes padded;
  };
  const Row rows[] = {
      {"3 bytes", {1, 2, 3}, {1, 2, 3, 0, 0, 0, 0, 0}},
      {"7 bytes", {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7, 0}},
      {"8 bytes", {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"9 bytes", {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 0, 0, 0, 0}},
  };
  const auto cipher = Keyed(testing::ToBytes("0123456789ABCDEF0123"));
  ASSERT_NE(cipher, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes sealed = EncryptBytes(*cipher, row.plain);
    EXPECT_EQ(Hex(sealed), Hex(EncryptBytes(*cipher, row.padded)));
    EXPECT_EQ(Hex(DecryptBytes(*cipher, sealed)), Hex(row.padded));
  }
}

TEST(BlowfishTest, WritesNothingBeyondItsOutput) {
  const auto cipher = Keyed(testing::ToBytes("key"));
  ASSERT_NE(cipher, nullptr);
  const Bytes plain(13, 0x5A);
  Bytes out(24, 0xEE);
  EXPECT_EQ(cipher->Encrypt(out.data(), plain.data(), 0), 0u);
  EXPECT_EQ(Hex(out), Hex(Bytes(24, 0xEE)));
  EXPECT_EQ(cipher->Encrypt(out.data(), plain.data(), 13), 16u);
  EXPECT_EQ(Hex(Bytes(out.begin() + 16, out.end())), Hex(Bytes(8, 0xEE)));

  Bytes opened(24, 0xEE);
  cipher->Decrypt(opened.data(), out.data(), 0);
  EXPECT_EQ(Hex(opened), Hex(Bytes(24, 0xEE)));
  // A partial trailing block is deciphered whole.
  cipher->Decrypt(opened.data(), out.data(), 13);
  EXPECT_EQ(Hex(Bytes(opened.begin(), opened.begin() + 13)), Hex(plain));
  EXPECT_EQ(Hex(Bytes(opened.begin() + 13, opened.end())), "00 00 00 EE EE EE EE EE EE EE EE");
}

TEST(BlowfishTest, RefusesALengthWhoseOutputDoesNotFit) {
  const auto cipher = Keyed(testing::ToBytes("key"));
  ASSERT_NE(cipher, nullptr);
  uint8_t byte = 0xEE;
  EXPECT_EQ(cipher->Encrypt(&byte, &byte, 0xFFFFFFF9u), 0u);
  EXPECT_EQ(byte, 0xEE);
}

TEST(BlowfishTest, InPlaceAndDistinctBuffersAgree) {
  std::mt19937 random(7);
  const auto cipher = Keyed(testing::ToBytes("A1B2C3D4E5F6A7B8C9D0"));
  ASSERT_NE(cipher, nullptr);
  for (uint32_t length : {1u, 8u, 31u, 32u, 33u, 100u}) {
    SCOPED_TRACE(length);
    const Bytes plain = testing::RandomBytes(random, length);
    const Bytes distinct = EncryptBytes(*cipher, plain);
    Bytes buffer(OutputLength(length), 0xEE);  // the pad bytes must be zeroed, not taken as found
    std::copy(plain.begin(), plain.end(), buffer.begin());
    EXPECT_EQ(cipher->Encrypt(buffer.data(), buffer.data(), length), OutputLength(length));
    EXPECT_EQ(Hex(buffer), Hex(distinct));
    cipher->Decrypt(buffer.data(), buffer.data(), length);
    EXPECT_EQ(Hex(buffer), Hex(DecryptBytes(*cipher, distinct)));
  }
}

TEST(BlowfishTest, OnlyTheFirst72KeyBytesCount) {
  std::mt19937 random(72);
  const Bytes key72 = testing::RandomBytes(random, 72);
  Bytes key73 = key72;
  key73.push_back(0x01);
  Bytes key100 = key72;
  key100.resize(100, 0xFF);
  const Bytes four = {0xA5, 0x00, 0xFF, 0x80};
  Bytes fourRepeated;
  while (fourRepeated.size() < 72) fourRepeated.insert(fourRepeated.end(), four.begin(), four.end());

  const Bytes plain = testing::RandomBytes(random, 64);
  struct Row {
    const char* name;
    Bytes key, sameAs;
  };
  const Row rows[] = {
      {"73 bytes", key73, key72}, {"100 bytes", key100, key72}, {"4 bytes repeated", fourRepeated, four}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto a = Keyed(row.key);
    const auto b = Keyed(row.sameAs);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Hex(EncryptBytes(*a, plain)), Hex(EncryptBytes(*b, plain)));
  }
  Bytes lastByteChanged = key72;
  lastByteChanged.back() ^= 1;
  EXPECT_NE(Hex(EncryptBytes(*Keyed(lastByteChanged), plain)), Hex(EncryptBytes(*Keyed(key72), plain)));
}

}  // namespace
}  // namespace stagewell::crypto
