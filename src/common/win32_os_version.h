// The one Windows version probe: version tests where the system has them,
// else the version the system reports.
#pragma once

#include <windows.h>

namespace stagewell::win32 {

// Fills the major and minor version and the platform id.
bool GetOsVersion(OSVERSIONINFOA& info);

}  // namespace stagewell::win32
