#include "common/win32_os_version.h"

#include "common/win32_proc_address.h"

namespace stagewell::win32 {
namespace {

using VerSetConditionMaskFunction = decltype(&::VerSetConditionMask);
using VerifyVersionInfoFunction = decltype(&::VerifyVersionInfoA);

}  // namespace

bool GetOsVersion(OSVERSIONINFOA& info) {
  {
    // Looked up at run time: the oldest systems lack the version tests, and
    // newer ones report a capped version to GetVersionExA.
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto setConditionMask = ProcAddress<VerSetConditionMaskFunction>(kernel32, "VerSetConditionMask");
    auto verifyVersionInfo = ProcAddress<VerifyVersionInfoFunction>(kernel32, "VerifyVersionInfoA");
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

}  // namespace stagewell::win32
