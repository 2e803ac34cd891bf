// The three pieces of the identity as ComputeIdentity writes them: the address,
// the description digest and the fold of the disk serial text.
#include <functional>

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "identity/machine_identity.h"

namespace stagewell::identity {
namespace {

using testing::FakePlatform;
using testing::MakeAdapter;
using testing::MakeDescriptor;
using testing::MakeIfTable;

const std::vector<uint8_t> kAddress = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// Windows 7: the adapter list gives the address, the WMI disk the serial text.
std::function<void(FakePlatform&)> Windows7(std::vector<uint8_t> address, std::string diskSerial) {
  return [address = std::move(address), diskSerial = std::move(diskSerial)](FakePlatform& p) {
    p.adapters = {MakeAdapter(2, 6, address, "abc")};
    p.wmiDiskSerial = diskSerial;
  };
}

// XP: the interface table gives the description bytes as dwDescrLen counts them.
std::function<void(FakePlatform&)> Xp(std::string description) {
  return [=](FakePlatform& p) {
    p.version = {5, 1, 2};
    p.ifTable = MakeIfTable({{2, 6, kAddress, description}});
    p.drives[0] = MakeDescriptor(64, "AB");
  };
}

struct Row {
  const char* name;
  std::function<void(FakePlatform&)> setUp;
  const char* identity;
  const char* addressText;
};

void Check(const Row& row) {
  SCOPED_TRACE(row.name);
  FakePlatform platform;
  row.setUp(platform);
  CMachineIdentity identity(platform);
  EXPECT_TRUE(identity.ComputeIdentity());
  EXPECT_EQ(identity.Identity(), row.identity);
  EXPECT_EQ(identity.AddressText(), row.addressText);
}

TEST(ComputeIdentity, AddressSixBytesInTheIdentityAndTheWholeAddressInTheText) {
  const Row rows[] = {
      {"six bytes", Windows7(kAddress, "AB"), "00112233445503264142", "00:11:22:33:44:55:"},
      {"eight bytes: six in the identity, eight in the text", Windows7({0x02, 0xFC, 0, 0, 0, 1, 0xAB, 0xCD}, "AB"),
       "02FC0000000103264142", "02:FC:00:00:00:01:AB:CD:"},
      {"four bytes padded", Windows7({0xAA, 0xBB, 0xCC, 0xDD}, "AB"), "AABBCCDD000003264142", "AA:BB:CC:DD:"},
      {"no bytes", Windows7({}, "AB"), "00000000000003264142", ""},
  };
  for (const Row& row : rows) Check(row);
}

TEST(ComputeIdentity, SecondCallWithAnotherAdapterReplacesBothAddressForms) {
  FakePlatform platform;
  Windows7({1, 2, 3, 4, 5, 6}, "AB")(platform);
  CMachineIdentity identity(platform);
  ASSERT_TRUE(identity.ComputeIdentity());
  platform.adapters = {MakeAdapter(2, 6, {0xA0}, "abc")};
  ASSERT_TRUE(identity.ComputeIdentity());
  EXPECT_EQ(identity.Identity(), "A0000000000003264142");
  EXPECT_EQ(identity.AddressText(), "A0:");
}

TEST(ComputeIdentity, DigestOfTheDescriptionWithoutTrailingZeros) {
  const Row rows[] = {
      {"abc", Xp("abc"), "00112233445503264142", "00:11:22:33:44:55:"},
      {"empty", Xp(""), "00112233445500004142", "00:11:22:33:44:55:"},
      {"trailing zeros do not count", Xp(Bytes({'a', 'b', 0, 0})), "00112233445502C34142", "00:11:22:33:44:55:"},
      {"inner zero counts", Xp(Bytes({0, 'a'})), "00112233445502614142", "00:11:22:33:44:55:"},
      {"only zeros", Xp(Bytes({0, 0, 0})), "00112233445500004142", "00:11:22:33:44:55:"},
      {"sum wraps at 256", Xp(Bytes({0xFF, 0x02})), "00112233445502014142", "00:11:22:33:44:55:"},
      {"256 bytes give three length digits", Xp(std::string(255, 'A') + "C"), "001122334455100024142",
       "00:11:22:33:44:55:"},
  };
  for (const Row& row : rows) Check(row);
}

TEST(ComputeIdentity, DiskPartFoldsEvenThenOddBytes) {
  const Row rows[] = {
      {"AB", Windows7(kAddress, "AB"), "00112233445503264142", "00:11:22:33:44:55:"},
      {"abc", Windows7(kAddress, "abc"), "0011223344550326C462", "00:11:22:33:44:55:"},
      {"sums wrap at 256", Windows7(kAddress, Bytes({0xFF, 0xFF, 0x02})), "001122334455032601FF", "00:11:22:33:44:55:"},
      {"signed decimal text of a media ID",
       [](FakePlatform& p) {
         p.version = {4, 10, 1};
         p.ifTable = MakeIfTable({{2, 6, kAddress, "abc"}});
         p.mediaId = 0xFFFFFFFF;
       },
       "00112233445503262D31", "00:11:22:33:44:55:"},
      {"empty text on NT 4",
       [](FakePlatform& p) {
         p.version = {4, 0, 2};
         p.ifTable = MakeIfTable({{2, 6, kAddress, "abc"}});
       },
       "00112233445503260000", "00:11:22:33:44:55:"},
  };
  for (const Row& row : rows) Check(row);
}

}  // namespace
}  // namespace stagewell::identity
