#include "identity/disk_identity.h"

#include "identity/storage_descriptor.h"

namespace stagewell::identity {
namespace {

constexpr int kMaxPhysicalDrives = 16;

}  // namespace

bool QueryDiskSerialByDrive(DiskDevices& disks, std::string& serial) {
  StorageDescriptorBuffer buffer;
  for (int drive = 0; drive < kMaxPhysicalDrives; ++drive) {
    buffer = StorageDescriptorBuffer{};
    // The first drive that answers decides, whatever its descriptor holds.
    if (disks.QueryStorageDescriptor(drive, buffer) == DriveQuery::kAnswered) {
      serial = SerialFromDescriptor(buffer);
      return !serial.empty();
    }
  }
  return false;
}

bool QueryDiskSerialByWmi(WmiQueries& wmi, std::string& serial) {
  std::string first;
  if (wmi.FirstDiskSerial(first)) serial = first;
  return !serial.empty();
}

bool QueryDiskSerialByVwin32(DiskDevices& disks, std::string& serial) {
  const std::optional<uint32_t> mediaSerial = disks.QueryMediaIdSerial();
  if (!mediaSerial) return false;
  serial = FormatMediaIdSerial(*mediaSerial);
  return !serial.empty();
}

}  // namespace stagewell::identity
