// The disk serial texts: the descriptor at its serial offset, the drive scan,
// the media ID number and the WMI disk.
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "identity/machine_identity.h"
#include "identity/storage_descriptor.h"

namespace stagewell::identity {
namespace {

using testing::FakePlatform;
using testing::MakeDescriptor;

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) hex += {kDigits[c >> 4], kDigits[c & 15], ' '};
  return hex;
}

TEST(SerialFromDescriptor, ReadsTheStringAtTheOffsetWithinTheBuffer) {
  StorageDescriptorBuffer wineLike = MakeDescriptor(0, std::string("\x28\0\0\0\x28", 5));
  StorageDescriptorBuffer fullFromStart{};
  std::fill(std::begin(fullFromStart.bytes), std::end(fullFromStart.bytes), 'S');
  testing::StoreU32(fullFromStart.bytes + kSerialNumberOffsetField, 0x53535353);  // 'SSSS': beyond the buffer
  struct Row {
    const char* name;
    StorageDescriptorBuffer buffer;
    std::string serial;
  } rows[] = {
      {"no serial number", MakeDescriptor(kNoSerialNumber, "ignored"), ""},
      {"spaces kept", MakeDescriptor(100, "  WD-1234  "), "  WD-1234  "},
      {"offset 0 reads the descriptor's start", wineLike, "("},
      {"offset 0 on a zero first byte", MakeDescriptor(0), ""},
      {"last byte of the buffer", MakeDescriptor(1023, "Z"), "Z"},
      {"string fills the rest without a zero", MakeDescriptor(100, std::string(924, 'x')), std::string(924, 'x')},
      {"offset at the buffer's end", MakeDescriptor(1024), ""},
      {"offset far beyond the buffer", fullFromStart, ""},
      {"offset 0 ends at the offset field's zeros", MakeDescriptor(0, std::string(40, 'S')), std::string(24, 'S')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string serial = SerialFromDescriptor(row.buffer);
    EXPECT_EQ(serial, row.serial) << Hex(serial) << " vs " << Hex(row.serial);
  }
}

TEST(FormatMediaIdSerial, SignedDecimal) {
  struct Row {
    const char* name;
    uint32_t serial;
    const char* text;
  } rows[] = {
      {"positive", 0x1234ABCD, "305441741"},
      {"all ones", 0xFFFFFFFF, "-1"},
      {"zero", 0, "0"},
      {"most negative", 0x80000000, "-2147483648"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FormatMediaIdSerial(row.serial), row.text);
  }
}

// Every case has the one adapter 00-11-22-33-44-55 "abc" and, for when no
// disk serial is had from Windows 2000 on, the WMI adapter "wmi" (group 034D).
const char kAdapterPiece[] = "0011223344550326";
const char kWmiGroup[] = "034D";

std::vector<std::string> Drives(int count) {
  std::vector<std::string> calls;
  calls.reserve(static_cast<size_t>(count));
  for (int drive = 0; drive < count; ++drive) calls.push_back("PhysicalDrive" + std::to_string(drive));
  return calls;
}

std::vector<std::string> Join(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct DiskCase {
  const char* name;
  OsVersion version;
  std::function<void(FakePlatform&)> setUp;
  std::string diskPart;
  std::vector<std::string> calls;  // after the adapter source's
};

void CheckDiskCases(const std::vector<DiskCase>& cases) {
  for (const DiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.version = c.version;
    const std::vector<uint8_t> address = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    platform.ifTable = testing::MakeIfTable({{2, 6, address, "abc"}});
    platform.adapters = {testing::MakeAdapter(2, 6, address, "abc")};
    platform.wmiAdapters = {{"wmi", std::nullopt}};
    c.setUp(platform);
    CMachineIdentity identity(platform);
    ASSERT_TRUE(identity.ComputeIdentity());
    // The exact text: the serial queries never write into the identity themselves.
    EXPECT_EQ(identity.Identity(), kAdapterPiece + c.diskPart);
    const std::vector<std::string> adapterSource =
        c.version.major < 6 ? std::vector<std::string>{"GetIfTable"}
                            : std::vector<std::string>{"SizeAdaptersInfo(640)", "ReadAdaptersInfo(2000)"};
    EXPECT_EQ(platform.calls, Join(adapterSource, c.calls));
  }
}

const OsVersion kXp{5, 1, 2};
const OsVersion kWindows7{6, 1, 2};
const OsVersion kWindows98{4, 10, 1};

TEST(ComputeIdentity, PhysicalDrivesUpToTheFirstThatAnswers) {
  using Drive = std::pair<const int, std::optional<StorageDescriptorBuffer>>;
  auto drives = [](std::initializer_list<Drive> answers) {
    return [answers = std::map<int, std::optional<StorageDescriptorBuffer>>(answers)](FakePlatform& p) {
      p.drives = answers;
    };
  };
  CheckDiskCases({
      {"no drive opens", kXp, drives({}), kWmiGroup, Join(Drives(16), {"ListNetworkAdapters"})},
      {"no drive answers", kXp, drives({{0, std::nullopt}, {5, std::nullopt}}), kWmiGroup,
       Join(Drives(16), {"ListNetworkAdapters"})},
      {"drive 0 does not open, drive 1 answers", kXp, drives({{1, MakeDescriptor(64, "ONE")}}), "944E", Drives(2)},
      {"drive 0 fails, drive 2 answers", kXp, drives({{0, std::nullopt}, {2, MakeDescriptor(64, "TWO")}}), "A357",
       Drives(3)},
      {"first answer without a serial ends the scan", kXp,
       drives({{0, MakeDescriptor(kNoSerialNumber)}, {1, MakeDescriptor(64, "ONE")}}), kWmiGroup,
       Join(Drives(1), {"ListNetworkAdapters"})},
      {"drive 15 is the last one asked", kXp,
       drives({{15, MakeDescriptor(64, "LAST")}, {16, MakeDescriptor(64, "NO")}}), "9F95", Drives(16)},
  });
}

TEST(ComputeIdentity, MediaIdOnWindows9x) {
  CheckDiskCases({
      {"no media ID: 0000", kWindows98, [](FakePlatform&) {}, "0000", {"QueryMediaIdSerial"}},
      {"a drive that fills in nothing gives the text 0",
       kWindows98,
       [](FakePlatform& p) { p.mediaId = 0; },
       "3000",
       {"QueryMediaIdSerial"}},
  });
}

TEST(ComputeIdentity, WmiDiskOnlyFromVersion6) {
  CheckDiskCases({
      {"XP does not touch WMI", kXp,
       [](FakePlatform& p) {
         p.wmiDiskSerial = "WINEHDISK";
         p.drives[0] = MakeDescriptor(64, "AB");
       },
       "4142", Drives(1)},
      {"Windows 7 takes the first disk's serial",
       kWindows7,
       [](FakePlatform& p) { p.wmiDiskSerial = "WINEHDISK"; },
       "8125",
       {"FirstDiskSerial"}},
      {"null serial on the first disk",
       kWindows7,
       [](FakePlatform& p) { p.wmiDiskSerial = ""; },
       kWmiGroup,
       {"FirstDiskSerial", "ListNetworkAdapters"}},
      {"query fails",
       kWindows7,
       [](FakePlatform& p) {
         p.wmiDiskQueried = false;
         p.wmiDiskSerial = "WINEHDISK";
       },
       kWmiGroup,
       {"FirstDiskSerial", "ListNetworkAdapters"}},
  });
}

}  // namespace
}  // namespace stagewell::identity
