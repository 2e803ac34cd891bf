// The disk serial texts the disk part of the machine identity is folded from.
// Each assigns `serial` (never appends) and is true exactly when it is not
// empty afterwards.
#pragma once

#include <string>

#include "identity/identity_platform.h"

namespace stagewell::identity {

// The storage descriptor of the first of 16 physical drives that answers.
bool QueryDiskSerialByDrive(DiskDevices& disks, std::string& serial);
// SerialNumber of the first Win32_DiskDrive instance.
bool QueryDiskSerialByWmi(WmiQueries& wmi, std::string& serial);
// The media ID serial number of drive C: through the VWIN32 device (Windows 9x).
bool QueryDiskSerialByVwin32(DiskDevices& disks, std::string& serial);

}  // namespace stagewell::identity
