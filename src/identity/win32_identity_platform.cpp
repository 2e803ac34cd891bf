#include "identity/win32_identity_platform.h"

#include "common/win32_os_version.h"
#include "common/win32_diagnostic_box.h"
#include "identity/win32_disk_devices.h"
#include "identity/win32_ip_helper.h"
#include "identity/win32_wmi.h"

namespace stagewell::identity {
namespace {

class Win32Diagnostics : public DiagnosticSink {
 public:
  void ShowDiagnostic(const std::string& text) override { win32::ShowDiagnosticBox(text); }
};

class Win32VersionProbe : public VersionProbe {
 public:
  bool GetOsVersion(OsVersion& version) override {
    OSVERSIONINFOA info;
    if (!win32::GetOsVersion(info)) return false;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.platformId = info.dwPlatformId;
    return true;
  }
};

class Win32IdentityPlatform : public IdentityPlatform {
 public:
  VersionProbe& Version() override { return version_; }
  IpHelperLibrary& IpHelper() override { return ipHelper_; }
  WmiQueries& Wmi() override { return wmi_; }
  DiskDevices& Disks() override { return disks_; }
  DiagnosticSink& Diagnostics() override { return diagnostics_; }

 private:
  Win32VersionProbe version_;
  Win32IpHelper ipHelper_;
  Win32Wmi wmi_;
  Win32DiskDevices disks_;
  Win32Diagnostics diagnostics_;
};

}  // namespace

std::unique_ptr<IdentityPlatform> MakeWin32IdentityPlatform() { return std::make_unique<Win32IdentityPlatform>(); }

}  // namespace stagewell::identity
