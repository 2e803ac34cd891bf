#include <windows.h>
#include <winioctl.h>

#include "identity/win32_disk_devices.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/win32_handles.h"

namespace stagewell::identity {
namespace {

static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset) == kSerialNumberOffsetField);

// The MS-DOS MID structure.
#pragma pack(push, 1)
struct MediaId {
  WORD infoLevel;
  DWORD serialNumber;
  char volumeLabel[11];
  char fileSystemType[8];
};
#pragma pack(pop)
static_assert(sizeof(MediaId) == 25);

// DIOC_REGISTERS of the VWIN32 device.
struct DiocRegisters {
  DWORD ebx, edx, ecx, eax, edi, esi, flags;
};
static_assert(sizeof(DiocRegisters) == 28);

constexpr DWORD kVwin32DosIoctl = 1;
constexpr DWORD kDriveC = 3;                    // 0 is the default drive, 1 is A:
constexpr DWORD kGetMediaId = 0x0866;           // category 08h disk drive, minor code 66h
constexpr DWORD kGenericBlockRequest = 0x440D;  // MS-DOS IOCTL
constexpr DWORD kCarryFlag = 0x8000;

}  // namespace

DriveQuery Win32DiskDevices::QueryStorageDescriptor(int drive, StorageDescriptorBuffer& buffer) {
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", drive);
  // No access rights are needed for the property query.
  win32::UniqueFile device(
      CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!device) return DriveQuery::kNotOpened;

  STORAGE_PROPERTY_QUERY query = {};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  std::memset(buffer.bytes, 0, sizeof buffer.bytes);
  DWORD returned = 0;
  if (!DeviceIoControl(device.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer.bytes,
                       sizeof buffer.bytes, &returned, nullptr)) {
    std::memset(buffer.bytes, 0, sizeof buffer.bytes);
    return DriveQuery::kQueryFailed;
  }
  return DriveQuery::kAnswered;
}

std::optional<uint32_t> Win32DiskDevices::QueryMediaIdSerial() {
  win32::UniqueFile vwin32(CreateFileA("\\\\.\\vwin32", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!vwin32) return std::nullopt;

  MediaId mediaId = {};
  DiocRegisters registers = {};
  registers.ebx = kDriveC;
  // VWIN32 exists only on the 32-bit Windows 9x, where the address fits.
  registers.edx = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&mediaId));
  registers.ecx = kGetMediaId;
  registers.eax = kGenericBlockRequest;
  registers.flags = kCarryFlag;
  DWORD returned = 0;
  if (!DeviceIoControl(vwin32.get(), kVwin32DosIoctl, &registers, sizeof registers, &registers, sizeof registers,
                       &returned, nullptr)) {
    return std::nullopt;
  }
  return mediaId.serialNumber;
}

}  // namespace stagewell::identity
