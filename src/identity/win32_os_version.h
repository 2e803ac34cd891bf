// The Windows version probe: version tests where the system has them, else the
// version the system reports.
#pragma once

#include <windows.h>

#include "identity/identity_platform.h"

namespace stagewell::identity {

// Fills the major and minor version and the platform id.
bool GetOsVersion(OSVERSIONINFOA& info);

class Win32VersionProbe : public VersionProbe {
 public:
  bool GetOsVersion(OsVersion& version) override;
};

}  // namespace stagewell::identity
