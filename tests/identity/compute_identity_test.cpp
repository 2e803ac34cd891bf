// The order of the sources by Windows version, the fallback and the disk step.
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

std::vector<std::string> AllDrives() {
  constexpr int kDrives = 16;
  std::vector<std::string> calls;
  calls.reserve(kDrives);
  for (int drive = 0; drive < kDrives; ++drive) calls.push_back("PhysicalDrive" + std::to_string(drive));
  return calls;
}

std::vector<std::string> Join(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// One Ethernet adapter 00-11-22-33-44-55 "abc" in both IP Helper sources.
void OneAdapter(FakePlatform& platform) {
  platform.ifTable = MakeIfTable({{1, 24, {}, "lo"}, {2, 6, kAddress, "abc"}});
  platform.adapters = {MakeAdapter(2, 6, kAddress, "abc")};
}

struct Scenario {
  const char* name;
  std::function<void(FakePlatform&)> setUp;
  bool result;
  const char* identity;
  std::vector<std::string> calls;
  std::vector<std::string> diagnostics;
};

TEST(ComputeIdentity, ChoosesSourcesByVersion) {
  const std::string kAdapterList[] = {"SizeAdaptersInfo(640)", "ReadAdaptersInfo(2000)"};
  Scenario scenarios[] = {
      {"version probe fails: fallback, no disk part",
       [](FakePlatform& p) { p.versionProbed = false; },
       true,
       "000D604C25990000",
       {},
       {}},
      {"Windows 95: fallback without loading IP Helper, VWIN32 disk",
       [](FakePlatform& p) {
         p.version = {4, 0, 1};
         p.mediaId = 0x1234ABCD;
       },
       true,
       "000D604C2599000004C9",
       {"QueryMediaIdSerial"},
       {}},
      {"Windows 98 without IP Helper: fallback silently",
       [](FakePlatform& p) {
         p.version = {4, 10, 1};
         p.loadSucceeds = false;
         p.mediaId = 0x1234ABCD;
       },
       true,
       "000D604C2599000004C9",
       {"QueryMediaIdSerial"},
       {}},
      {"Windows 98 with IP Helper: interface table, VWIN32 disk",
       [](FakePlatform& p) {
         p.version = {4, 10, 1};
         OneAdapter(p);
         p.mediaId = 0xFFFFFFFF;
       },
       true,
       "00112233445503262D31",
       {"GetIfTable", "QueryMediaIdSerial"},
       {}},
      {"Windows Me without IP Helper: message, empty identity",
       [](FakePlatform& p) {
         p.version = {4, 90, 1};
         p.loadSucceeds = false;
       },
       false,
       "",
       {},
       {"Unable to load ....dll"}},
      {"XP without IP Helper: message, empty identity",
       [](FakePlatform& p) {
         p.version = {5, 1, 2};
         p.loadSucceeds = false;
       },
       false,
       "",
       {},
       {"Unable to load ....dll"}},
      {"NT 3: interface table, no disk part",
       [](FakePlatform& p) {
         p.version = {3, 51, 2};
         OneAdapter(p);
       },
       true,
       "0011223344550326",
       {"GetIfTable"},
       {}},
      {"NT 4 without a disk serial: 0000",
       [](FakePlatform& p) {
         p.version = {4, 0, 2};
         OneAdapter(p);
       },
       true,
       "00112233445503260000",
       Join({"GetIfTable"}, AllDrives()),
       {}},
      {"NT 4 never lists the WMI adapters",
       [](FakePlatform& p) {
         p.version = {4, 0, 2};
         OneAdapter(p);
         p.wmiAdapters = {{"abc", std::string("00:11:22:33:44:55")}};
       },
       true,
       "00112233445503260000",
       Join({"GetIfTable"}, AllDrives()),
       {}},
      {"XP: interface table and physical drive",
       [](FakePlatform& p) {
         p.version = {5, 1, 2};
         OneAdapter(p);
         p.drives[0] = MakeDescriptor(100, "AB");
       },
       true,
       "00112233445503264142",
       {"GetIfTable", "PhysicalDrive0"},
       {}},
      {"XP without a disk serial: WMI group of the matching adapter",
       [](FakePlatform& p) {
         p.version = {5, 1, 2};
         OneAdapter(p);
         p.wmiAdapters = {{"longer description", std::nullopt}, {"abc", std::string("00:11:22:33:44:55")}};
       },
       true,
       "00112233445503260326",
       Join(Join({"GetIfTable"}, AllDrives()), {"ListNetworkAdapters"}),
       {}},
      {"Windows 7: adapter list and WMI disk",
       [](FakePlatform& p) {
         OneAdapter(p);
         p.wmiDiskSerial = "AB";
       },
       true,
       "00112233445503264142",
       {kAdapterList[0], kAdapterList[1], "FirstDiskSerial"},
       {}},
      {"Windows 7 without WMI: group 0000",
       [](FakePlatform& p) {
         OneAdapter(p);
         p.wmiDiskQueried = false;
         p.wmiAdaptersListed = false;
       },
       true,
       "00112233445503260000",
       {kAdapterList[0], kAdapterList[1], "FirstDiskSerial", "ListNetworkAdapters"},
       {}},
      {"Windows 7, no adapter qualifies: fallback address, WMI disk",
       [](FakePlatform& p) {
         p.adapters = {MakeAdapter(1, 24, {}, "lo")};
         p.wmiDiskSerial = "AB";
       },
       true,
       "000D604C259900004142",
       {kAdapterList[0], kAdapterList[1], "FirstDiskSerial"},
       {}},
      {"fallback leaves the WMI group nothing to match",
       [](FakePlatform& p) {
         p.adapters = {};
         p.wmiDiskSerial = "";
         p.wmiAdapters = {{"abc", std::string("00:0D:60:4C:25:99")}};
       },
       true,
       "000D604C259900000000",
       {kAdapterList[0], kAdapterList[1], "FirstDiskSerial", "ListNetworkAdapters"},
       {}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    FakePlatform platform;
    scenario.setUp(platform);
    CMachineIdentity identity(platform);
    EXPECT_EQ(identity.ComputeIdentity(), scenario.result);
    EXPECT_EQ(identity.Identity(), scenario.identity);
    EXPECT_EQ(platform.calls, scenario.calls);
    EXPECT_EQ(platform.diagnostics, scenario.diagnostics);
  }
}

TEST(ComputeIdentity, ProbeFailureKeepsTheVersionAtZero) {
  FakePlatform platform;
  platform.versionProbed = false;
  CMachineIdentity identity(platform);
  identity.ComputeIdentity();
  EXPECT_EQ(identity.MajorVersion(), 0u);
  EXPECT_EQ(identity.AddressText(), "");
  EXPECT_EQ(platform.loads, 0);
}

TEST(ComputeIdentity, SecondCallGivesTheSameTextAndLoadsOnce) {
  FakePlatform platform;
  OneAdapter(platform);
  platform.wmiDiskSerial = "WINEHDISK";
  CMachineIdentity identity(platform);
  ASSERT_TRUE(identity.ComputeIdentity());
  const std::string first = identity.Identity();
  const std::string firstAddressText = identity.AddressText();
  ASSERT_TRUE(identity.ComputeIdentity());
  EXPECT_EQ(identity.Identity(), first);
  EXPECT_EQ(identity.AddressText(), firstAddressText);
  EXPECT_EQ(first.size(), 20u);
  EXPECT_EQ(platform.loads, 1);
}

TEST(ComputeIdentity, FailedLoadIsTriedAgainOnTheNextCall) {
  FakePlatform platform;
  platform.loadSucceeds = false;
  CMachineIdentity identity(platform);
  EXPECT_FALSE(identity.ComputeIdentity());
  EXPECT_FALSE(identity.ComputeIdentity());
  EXPECT_EQ(platform.loads, 2);
  EXPECT_EQ(platform.diagnostics.size(), 2u);
}

}  // namespace
}  // namespace stagewell::identity
