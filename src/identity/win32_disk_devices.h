// The disk device queries: the storage property query on the physical drives
// and the MS-DOS Get Media ID call through the Windows 9x VWIN32 device.
#pragma once

#include "identity/identity_platform.h"

namespace stagewell::identity {

class Win32DiskDevices : public DiskDevices {
 public:
  DriveQuery QueryStorageDescriptor(int drive, StorageDescriptorBuffer& buffer) override;
  std::optional<uint32_t> QueryMediaIdSerial() override;
};

}  // namespace stagewell::identity
