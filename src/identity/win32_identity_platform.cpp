#include "identity/win32_identity_platform.h"

#include "common/win32_diagnostic_box.h"
#include "common/win32_os_version.h"
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
  VersionProbe& Version() override { return m_version; }
  IpHelperLibrary& IpHelper() override { return m_ipHelper; }
  WmiQueries& Wmi() override { return m_wmi; }
  DiskDevices& Disks() override { return m_disks; }
  DiagnosticSink& Diagnostics() override { return m_diagnostics; }

 private:
  Win32VersionProbe m_version;
  Win32IpHelper m_ipHelper;
  Win32Wmi m_wmi;
  Win32DiskDevices m_disks;
  Win32Diagnostics m_diagnostics;
};

}  // namespace

std::unique_ptr<IdentityPlatform> MakeWin32IdentityPlatform() { return std::make_unique<Win32IdentityPlatform>(); }

}  // namespace stagewell::identity
