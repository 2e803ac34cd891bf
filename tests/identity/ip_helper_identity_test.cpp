// The choice of one adapter from the interface table and from the adapter list.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "identity/machine_identity.h"

namespace stagewell::identity {
namespace {

using testing::FakePlatform;
using testing::IfRowSpec;
using testing::MakeAdapter;
using testing::MakeDescriptor;
using testing::MakeIfTable;

const char kFallback[] = "000D604C25990000";

std::vector<uint8_t> Address(uint8_t first, uint8_t last) { return {first, 0x11, 0x22, 0x33, 0x44, last}; }

// The identity before its disk part (every case here has the disk text "AB").
std::string AdapterPiece(const CMachineIdentity& identity) { return identity.Identity().substr(0, 16); }

struct IfTableCase {
  const char* name;
  uint32_t major;
  std::vector<IfRowSpec> rows;
  std::optional<uint32_t> entryCount;  // default: the rows given
  const char* piece;
  const char* addressText;
};

TEST(IdentityFromIfTable, ChoosesTheEthernetRowWithTheLowestKey) {
  const std::string descr255 = std::string(255, 'A') + "C";
  std::vector<IfRowSpec> twentyRows;
  for (uint32_t i = 0; i < 20; ++i) twentyRows.push_back({100 - i, 6, Address(0x02, static_cast<uint8_t>(i)), "x"});
  IfTableCase cases[] = {
      {"keys 5 and 3: the second row",
       5,
       {{0x10005, 6, Address(0x02, 1), "a"}, {3, 6, Address(0x02, 2), "b"}},
       {},
       "0211223344020162",
       "02:11:22:33:44:02:"},
      {"keys 1 and 2: the first row despite its larger index",
       5,
       {{0x10001, 6, Address(0x02, 1), "a"}, {2, 6, Address(0x02, 2), "b"}},
       {},
       "0211223344010161",
       "02:11:22:33:44:01:"},
      {"equal keys: the earlier row",
       5,
       {{7, 6, Address(0x02, 1), "a"}, {0x20007, 6, Address(0x02, 2), "b"}},
       {},
       "0211223344010161",
       "02:11:22:33:44:01:"},
      {"only Ethernet rows count",
       5,
       {{1, 24, {}, "lo"}, {9, 71, Address(0x02, 1), "w"}, {4, 6, Address(0x02, 2), "e"}},
       {},
       "0211223344020165",
       "02:11:22:33:44:02:"},
      {"a wireless row does not count, whatever its key",
       5,
       {{3, 71, Address(0x02, 1), "w"}, {4, 6, Address(0x02, 2), "e"}},
       {},
       "0211223344020165",
       "02:11:22:33:44:02:"},
      {"a wireless row alone: fallback", 5, {{3, 71, Address(0x02, 1), "w"}}, {}, kFallback, ""},
      {"no Ethernet row: fallback", 5, {{1, 24, {}, "lo"}}, {}, kFallback, ""},
      {"empty table: fallback", 5, {}, {}, kFallback, ""},
      {"NT 4 skips an address starting with 44",
       4,
       {{1, 6, Address(0x44, 1), "a"}, {2, 6, Address(0x02, 2), "b"}},
       {},
       "0211223344020162",
       "02:11:22:33:44:02:"},
      {"NT 4 with only 44 addresses: fallback", 4, {{1, 6, Address(0x44, 1), "a"}}, {}, kFallback, ""},
      {"NT 4 looks at the address bytes only: an empty address is kept",
       4,
       {{1, 6, Address(0x44, 1), "a", 0}},
       {},
       "0000000000000161",
       ""},
      {"XP keeps an address starting with 44",
       5,
       {{1, 6, Address(0x44, 1), "a"}, {2, 6, Address(0x02, 2), "b"}},
       {},
       "4411223344010161",
       "44:11:22:33:44:01:"},
      {"zero bytes counted in dwDescrLen do not count",
       5,
       {{2, 6, Address(0x02, 1), "abc", {}, 5}},
       {},
       "0211223344010326",
       "02:11:22:33:44:01:"},
      {"address length above 8: the 8 bytes held",
       5,
       {{2, 6, {1, 2, 3, 4, 5, 6, 7, 8}, "a", 0xFFFFFFFF}},
       {},
       "0102030405060161",
       "01:02:03:04:05:06:07:08:"},
      {"description length above 256: the 256 bytes held",
       5,
       {{2, 6, Address(0x02, 1), descr255, {}, 5000}},
       {},
       "02112233440110002",
       "02:11:22:33:44:01:"},
      {"entry count beyond the buffer: the 20 rows held", 5, twentyRows, 5000, "0211223344130178",
       "02:11:22:33:44:13:"},
  };
  for (const IfTableCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.version = {c.major, 0, 2};
    platform.ifTable = MakeIfTable(c.rows, c.entryCount);
    platform.drives[0] = MakeDescriptor(64, "AB");
    CMachineIdentity identity(platform);
    ASSERT_TRUE(identity.ComputeIdentity());
    // A three-digit description length makes the piece one character longer.
    EXPECT_EQ(identity.Identity().substr(0, std::string(c.piece).size()), c.piece);
    EXPECT_EQ(identity.AddressText(), c.addressText);
  }
}

TEST(IdentityFromIfTable, QueryFailuresFallBackSilently) {
  struct Row {
    const char* name;
    std::optional<uint32_t> result;
  } rows[] = {{"entry point missing", std::nullopt}, {"insufficient buffer", 122u}, {"not supported", 50u}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.version = {5, 1, 2};
    platform.ifTable = MakeIfTable({{2, 6, Address(0x02, 1), "a"}});
    platform.ifTableResult = row.result;
    CMachineIdentity identity(platform);
    ASSERT_TRUE(identity.ComputeIdentity());
    EXPECT_EQ(AdapterPiece(identity), kFallback);
    EXPECT_TRUE(platform.diagnostics.empty());
  }
}

struct AdapterListCase {
  const char* name;
  std::vector<AdapterRecord> adapters;
  const char* piece;
  const char* addressText;
};

AdapterRecord WithAddressLength(AdapterRecord adapter, uint32_t length) {
  adapter.addressLength = length;
  return adapter;
}

TEST(IdentityFromAdaptersInfo, ChoosesByKeyAndType) {
  AdapterRecord unterminated = MakeAdapter(2, 6, Address(0x02, 1), std::string(132, 'A'));
  AdapterListCase cases[] = {
      {"wireless 5 then Ethernet 10: the wireless adapter",
       {MakeAdapter(5, 71, Address(0x02, 5), "w"), MakeAdapter(10, 6, Address(0x02, 10), "e")},
       "0211223344050177",
       "02:11:22:33:44:05:"},
      {"Ethernet 10 then wireless 5: the Ethernet adapter",
       {MakeAdapter(10, 6, Address(0x02, 10), "e"), MakeAdapter(5, 71, Address(0x02, 5), "w")},
       "02112233440A0165",
       "02:11:22:33:44:0A:"},
      {"wireless 5 displaced by Ethernet 3",
       {MakeAdapter(5, 71, Address(0x02, 5), "w"), MakeAdapter(3, 6, Address(0x02, 3), "e")},
       "0211223344030165",
       "02:11:22:33:44:03:"},
      {"keys 1 and 2: the first despite its larger index",
       {MakeAdapter(0x10001, 6, Address(0x02, 1), "a"), MakeAdapter(2, 6, Address(0x02, 2), "b")},
       "0211223344010161",
       "02:11:22:33:44:01:"},
      {"other types do not count",
       {MakeAdapter(1, 24, {}, "lo"), MakeAdapter(2, 23, Address(0x02, 2), "p"),
        MakeAdapter(9, 6, Address(0x02, 9), "e")},
       "0211223344090165",
       "02:11:22:33:44:09:"},
      {"the second pass takes the first adapter with the key, whatever its type",
       {MakeAdapter(0x10004, 24, Address(0x02, 0x18), "t"), MakeAdapter(4, 6, Address(0x02, 4), "e")},
       "0211223344180174",
       "02:11:22:33:44:18:"},
      {"no Ethernet or wireless adapter: fallback", {MakeAdapter(1, 24, {}, "lo")}, kFallback, ""},
      {"empty list: fallback", {}, kFallback, ""},
      {"description without a zero: the 132 bytes held", {unterminated}, "0211223344018484", "02:11:22:33:44:01:"},
      {"address length above 8: the 8 bytes held",
       {WithAddressLength(MakeAdapter(2, 6, {1, 2, 3, 4, 5, 6, 7, 8}, "a"), 4000)},
       "0102030405060161",
       "01:02:03:04:05:06:07:08:"},
      {"short address padded", {MakeAdapter(2, 6, {0xAA, 0xBB, 0xCC, 0xDD}, "a")}, "AABBCCDD00000161", "AA:BB:CC:DD:"},
  };
  for (const AdapterListCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.adapters = c.adapters;
    platform.wmiDiskSerial = "AB";
    CMachineIdentity identity(platform);
    ASSERT_TRUE(identity.ComputeIdentity());
    EXPECT_EQ(AdapterPiece(identity), c.piece);
    EXPECT_EQ(identity.AddressText(), c.addressText);
    EXPECT_TRUE(platform.diagnostics.empty());
  }
}

TEST(IdentityFromAdaptersInfo, QueryFailuresFallBackWithTheirMessages) {
  struct Row {
    const char* name;
    std::optional<uint32_t> sizing;
    std::optional<uint32_t> info;
    std::vector<std::string> diagnostics;
  } rows[] = {
      {"entry point missing", std::nullopt, 0u, {}},
      {"no adapters (232): silent", 232u, 0u, {}},
      {"sizing succeeds outright", 0u, 0u, {}},
      {"sizing fails", 87u, 0u, {"Sizing failed with error  87"}},
      {"sizing fails with a large code", 0x80070057u, 0u, {"Sizing failed with error  -2147024809"}},
      {"info fails", 111u, 111u, {"Info failed with error 111"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.adapters = {MakeAdapter(2, 6, Address(0x02, 1), "a")};
    platform.sizingResult = row.sizing;
    platform.infoResult = row.info;
    platform.wmiDiskSerial = "AB";
    CMachineIdentity identity(platform);
    ASSERT_TRUE(identity.ComputeIdentity());
    const bool listed = row.sizing && (*row.sizing == 0 || *row.sizing == 111) && row.info == 0u;
    EXPECT_EQ(AdapterPiece(identity), listed ? "0211223344010161" : kFallback);
    EXPECT_EQ(platform.diagnostics, row.diagnostics);
  }
}

}  // namespace
}  // namespace stagewell::identity
