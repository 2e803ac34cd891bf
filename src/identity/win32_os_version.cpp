#include "identity/win32_os_version.h"

#include "common/win32_handles.h"
#include "common/win32_proc_address.h"

namespace stagewell::identity {
namespace {

using VerSetConditionMaskFunction = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
using VerifyVersionInfoFunction = BOOL(WINAPI*)(OSVERSIONINFOEXA*, DWORD, DWORDLONG);

}  // namespace

bool GetOsVersion(OSVERSIONINFOA& info) {
  {
    // Looked up at run time: the oldest systems lack the version tests, and
    // newer ones report a capped version to GetVersionExA.
    win32::UniqueModule kernel32(LoadLibraryA("kernel32.dll"));
    auto setConditionMask = win32::ProcAddress<VerSetConditionMaskFunction>(kernel32.get(), "VerSetConditionMask");
    auto verifyVersionInfo = win32::ProcAddress<VerifyVersionInfoFunction>(kernel32.get(), "VerifyVersionInfoA");
    if (setConditionMask && verifyVersionInfo) {
      auto atLeast = [&](DWORD type, DWORD value) {
        OSVERSIONINFOEXA tested = {};
        tested.dwOSVersionInfoSize = sizeof tested;
        if (type == VER_MAJORVERSION) {
          tested.dwMajorVersion = value;
        } else {
          tested.dwMinorVersion = value;
        }
        return verifyVersionInfo(&tested, type, setConditionMask(0, type, VER_GREATER_EQUAL)) != FALSE;
      };
      if (atLeast(VER_MAJORVERSION, 5)) {
        info = {};
        info.dwOSVersionInfoSize = sizeof info;
        info.dwMajorVersion = atLeast(VER_MAJORVERSION, 6) ? 6 : 5;
        if (atLeast(VER_MINORVERSION, 1)) info.dwMinorVersion = atLeast(VER_MINORVERSION, 2) ? 2 : 1;
        info.dwPlatformId = VER_PLATFORM_WIN32_NT;
        return true;
      }
    }
  }
  info = {};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) != FALSE;
}

bool Win32VersionProbe::GetOsVersion(OsVersion& version) {
  OSVERSIONINFOA info;
  if (!identity::GetOsVersion(info)) return false;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  version.platformId = info.dwPlatformId;
  return true;
}

}  // namespace stagewell::identity
