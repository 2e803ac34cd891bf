// The three text builders every source writes its piece with.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "identity/machine_identity.h"

namespace stagewell::identity {
namespace {

using testing::FakePlatform;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

TEST(AppendAddress, WritesSixBytesAndTheWholeAddressText) {
  struct Row {
    const char* name;
    std::string address;
    const char* identity;
    const char* addressText;
  } rows[] = {
      {"six bytes", Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}), "001122334455", "00:11:22:33:44:55:"},
      {"eight bytes: six in the identity, eight in the text", Bytes({0x02, 0xFC, 0, 0, 0, 1, 0xAB, 0xCD}),
       "02FC00000001", "02:FC:00:00:00:01:AB:CD:"},
      {"four bytes padded", Bytes({0xAA, 0xBB, 0xCC, 0xDD}), "AABBCCDD0000", "AA:BB:CC:DD:"},
      {"no bytes", std::string(), "000000000000", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    CMachineIdentity identity(platform);
    EXPECT_TRUE(identity.AppendAddress(Data(row.address), static_cast<uint32_t>(row.address.size())));
    EXPECT_EQ(identity.Identity(), row.identity);
    EXPECT_EQ(identity.AddressText(), row.addressText);
  }
}

TEST(AppendAddress, ReplacesTheAddressTextButAppendsToTheIdentity) {
  FakePlatform platform;
  CMachineIdentity identity(platform);
  std::string first = Bytes({1, 2, 3, 4, 5, 6});
  std::string second = Bytes({0xA0});
  identity.AppendAddress(Data(first), 6);
  identity.AppendAddress(Data(second), 1);
  EXPECT_EQ(identity.Identity(), "010203040506A00000000000");
  EXPECT_EQ(identity.AddressText(), "A0:");
}

TEST(AppendTextDigest, LengthWithoutTrailingZerosThenByteSum) {
  struct Row {
    const char* name;
    std::string description;
    const char* digest;
  } rows[] = {
      {"abc", "abc", "0326"},
      {"empty", std::string(), "0000"},
      {"trailing zeros do not count", Bytes({'a', 'b', 0, 0}), "02C3"},
      {"inner zero counts", Bytes({0, 'a'}), "0261"},
      {"only zeros", Bytes({0, 0, 0}), "0000"},
      {"sum wraps at 256", Bytes({0xFF, 0x02}), "0201"},
      {"256 bytes give three length digits", std::string(255, 'A') + "C", "10002"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    CMachineIdentity identity(platform);
    EXPECT_TRUE(identity.AppendTextDigest(Data(row.description), static_cast<uint32_t>(row.description.size())));
    EXPECT_EQ(identity.Identity(), row.digest);
  }
}

TEST(FoldText, EvenSumThenOddSum) {
  struct Row {
    const char* name;
    std::string text;
    const char* fold;
  } rows[] = {
      {"empty", std::string(), "0000"},
      {"AB", "AB", "4142"},
      {"abc", "abc", "C462"},
      {"sums wrap at 256", Bytes({0xFF, 0xFF, 0x02}), "01FF"},
      {"signed decimal text", "-1", "2D31"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string text = row.text;
    EXPECT_TRUE(CMachineIdentity::FoldText(text));
    EXPECT_EQ(text, row.fold);
  }
}

}  // namespace
}  // namespace stagewell::identity
