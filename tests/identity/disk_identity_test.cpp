// The disk serial texts: the descriptor at its serial offset, the drive scan,
// the media ID number and the WMI disk.
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

TEST(QueryDiskSerialByDrive, TheFirstDriveThatAnswersDecides) {
  struct Row {
    const char* name;
    std::map<int, std::optional<StorageDescriptorBuffer>> drives;
    bool found;
    std::string serial;
    size_t drivesAsked;
  } rows[] = {
      {"no drive opens", {}, false, "", 16},
      {"no drive answers", {{0, std::nullopt}, {5, std::nullopt}}, false, "", 16},
      {"drive 0 does not open, drive 1 answers", {{1, MakeDescriptor(64, "ONE")}}, true, "ONE", 2},
      {"drive 0 fails, drive 2 answers", {{0, std::nullopt}, {2, MakeDescriptor(64, "TWO")}}, true, "TWO", 3},
      {"first answer without a serial ends the scan",
       {{0, MakeDescriptor(kNoSerialNumber)}, {1, MakeDescriptor(64, "ONE")}}, false, "", 1},
      {"drive 15 is the last one asked", {{15, MakeDescriptor(64, "LAST")}, {16, MakeDescriptor(64, "NO")}}, true,
       "LAST", 16},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.drives = row.drives;
    CMachineIdentity identity(platform);
    std::string serial;
    EXPECT_EQ(identity.QueryDiskSerialByDrive(serial), row.found);
    EXPECT_EQ(serial, row.serial);
    EXPECT_EQ(platform.calls.size(), row.drivesAsked);
    EXPECT_EQ(identity.Identity(), "");
  }
}

TEST(QueryDiskSerialByVwin32, FormatsTheMediaIdOrFails) {
  FakePlatform platform;
  CMachineIdentity identity(platform);
  std::string serial;
  EXPECT_FALSE(identity.QueryDiskSerialByVwin32(serial));
  EXPECT_EQ(serial, "");
  platform.mediaId = 0;  // a drive that fills in nothing
  EXPECT_TRUE(identity.QueryDiskSerialByVwin32(serial));
  EXPECT_EQ(serial, "0");
}

TEST(QueryDiskSerialByWmi, AsksOnlyFromVersion6) {
  struct Row {
    const char* name;
    OsVersion version;
    bool queried;
    std::string reported;
    bool found;
    size_t calls;
  } rows[] = {
      {"XP does not touch WMI", {5, 1, 2}, true, "WINEHDISK", false, 0},
      {"Windows 7 takes the first disk's serial", {6, 1, 2}, true, "WINEHDISK", true, 1},
      {"null serial on the first disk", {6, 1, 2}, true, "", false, 1},
      {"query fails", {6, 1, 2}, false, "WINEHDISK", false, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.version = row.version;
    platform.loadSucceeds = false;  // stops ComputeIdentity right after the probe
    platform.wmiDiskQueried = row.queried;
    platform.wmiDiskSerial = row.reported;
    CMachineIdentity identity(platform);
    identity.ComputeIdentity();
    platform.calls.clear();
    std::string serial;
    EXPECT_EQ(identity.QueryDiskSerialByWmi(serial), row.found);
    EXPECT_EQ(serial, row.found ? row.reported : "");
    EXPECT_EQ(platform.calls.size(), row.calls);
  }
}

}  // namespace
}  // namespace stagewell::identity
