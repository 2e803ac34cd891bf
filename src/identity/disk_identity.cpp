// The disk serial texts the last piece of the identity is folded from.
#include "identity/machine_identity.h"
#include "identity/storage_descriptor.h"

namespace stagewell::identity {
namespace {

constexpr int kMaxPhysicalDrives = 16;

}  // namespace

bool CMachineIdentity::QueryDiskSerialByDrive(std::string& serial) {
  StorageDescriptorBuffer buffer;
  for (int drive = 0; drive < kMaxPhysicalDrives; ++drive) {
    buffer = StorageDescriptorBuffer{};
    // The first drive that answers decides, whatever its descriptor holds.
    if (m_platform.Disks().QueryStorageDescriptor(drive, buffer) == DriveQuery::kAnswered) {
      serial = SerialFromDescriptor(buffer);
      return !serial.empty();
    }
  }
  return false;
}

bool CMachineIdentity::QueryDiskSerialByWmi(std::string& serial) {
  if (m_nMajorVersion < 6) return false;
  std::string first;
  if (m_platform.Wmi().FirstDiskSerial(first)) serial = first;
  return !serial.empty();
}

bool CMachineIdentity::QueryDiskSerialByVwin32(std::string& serial) {
  std::optional<uint32_t> mediaSerial = m_platform.Disks().QueryMediaIdSerial();
  if (!mediaSerial) return false;
  serial = FormatMediaIdSerial(*mediaSerial);
  return !serial.empty();
}

}  // namespace stagewell::identity
