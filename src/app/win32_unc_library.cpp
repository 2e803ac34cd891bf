// The maker's path-conversion libraries, called by entry number.
#include <windows.h>

#include <vector>

#include "app/win32_unc_library.h"
#include "common/win32_handles.h"
#include "common/win32_os_version.h"
#include "common/win32_proc_address.h"
#include "common/win32_system_library.h"
#include "common/win32_text.h"

namespace stagewell::app {
namespace {

constexpr int kCapacity = 32767;
constexpr WORD kConvertEntry = 2;
constexpr WORD kSecondEntry = 1;

using NarrowConvert = unsigned short(__cdecl*)(const char*, char*, int);
using WideConvert = unsigned short(__cdecl*)(const wchar_t*, wchar_t*, int);

// Exactly one of the two entries is set: the narrow library's or the wide one's.
class Win32UncLibrary : public UncLibrary {
 public:
  Win32UncLibrary(win32::UniqueModule module, NarrowConvert narrow, WideConvert wide)
      : m_module(std::move(module)), m_narrow(narrow), m_wide(wide) {}

  uint16_t Convert(const std::string& path, std::string& converted) override {
    return m_wide ? ConvertWide(path, converted) : ConvertNarrow(path, converted);
  }

 private:
  // One spare element past the capacity the library is told, kept zero, so a
  // result without its terminator still ends inside the buffer.
  uint16_t ConvertNarrow(const std::string& path, std::string& converted) {
    std::vector<char> output(kCapacity + 1, '\0');
    uint16_t result = m_narrow(path.c_str(), output.data(), kCapacity);
    output[kCapacity] = '\0';
    converted = output.data();
    return result;
  }

  uint16_t ConvertWide(const std::string& path, std::string& converted) {
    std::vector<wchar_t> input(kCapacity + 1, L'\0');
    std::vector<wchar_t> output(kCapacity + 1, L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path.c_str(), -1, input.data(), kCapacity) == 0) return 0;
    uint16_t result = m_wide(input.data(), output.data(), kCapacity);
    output[kCapacity] = L'\0';
    converted = win32::AnsiFromWide(output.data());
    return result;
  }

  win32::UniqueModule m_module;
  NarrowConvert m_narrow;
  WideConvert m_wide;
};

// Empty when the folder is unknown, which loads nothing.
std::wstring FullPath(const UncLibraryFolder& folder, const std::wstring& name) {
  switch (folder.kind) {
    case UncLibraryFolder::kExe:
      return win32::ExeFolderPath(name.c_str());
    case UncLibraryFolder::kProduct:
      // The record's text is in the ANSI code page, as Ldg.exe was looked up.
      return win32::PathInFolder(win32::WideFromAnsi(folder.path), name.c_str());
    case UncLibraryFolder::kSystem:
      return win32::SystemFolderPath(name.c_str());
    case UncLibraryFolder::kWindows:
      return win32::WindowsFolderPath(name.c_str());
  }
  return {};
}

}  // namespace

bool Win32UncPlatform::GetPlatformId(uint32_t& platformId) {
  OSVERSIONINFOA version;
  if (!win32::GetOsVersion(version)) return false;
  platformId = version.dwPlatformId;
  return true;
}

std::unique_ptr<UncLibrary> Win32UncPlatform::Load(const UncLibraryFolder& folder, const char* libraryName, bool wide) {
  win32::UniqueModule module = win32::LoadLibraryAt(FullPath(folder, win32::WideFromAnsi(libraryName)));
  if (!win32::ProcAddress<FARPROC>(module.get(), MAKEINTRESOURCEA(kSecondEntry))) return nullptr;
  const char* convertEntry = MAKEINTRESOURCEA(kConvertEntry);
  NarrowConvert narrow = wide ? nullptr : win32::ProcAddress<NarrowConvert>(module.get(), convertEntry);
  WideConvert wideConvert = wide ? win32::ProcAddress<WideConvert>(module.get(), convertEntry) : nullptr;
  if (!narrow && !wideConvert) return nullptr;
  return std::make_unique<Win32UncLibrary>(std::move(module), narrow, wideConvert);
}

}  // namespace stagewell::app
