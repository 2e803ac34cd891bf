// The maker's path-conversion libraries, called by entry number.
#include <windows.h>

#include <vector>

#include "app/win32_run_platform.h"
#include "common/win32_handles.h"
#include "common/win32_text.h"

namespace stagewell::app {
namespace {

constexpr int kCapacity = 32767;
constexpr WORD kConvertEntry = 2;
constexpr WORD kSecondEntry = 1;

using NarrowConvert = unsigned short(__cdecl*)(const char*, char*, int);
using WideConvert = unsigned short(__cdecl*)(const wchar_t*, wchar_t*, int);

class Win32UncLibrary : public UncLibrary {
 public:
  // Entry points travel as void*: their real types are known only here.
  Win32UncLibrary(win32::UniqueModule module, void* convert, bool wide)
      : module_(std::move(module)), convert_(convert), wide_(wide) {}

  uint16_t Convert(const std::string& path, std::string& converted) override {
    return wide_ ? ConvertWide(path, converted) : ConvertNarrow(path, converted);
  }

 private:
  // One spare element past the capacity the library is told, kept zero, so a
  // result without its terminator still ends inside the buffer.
  uint16_t ConvertNarrow(const std::string& path, std::string& converted) {
    std::vector<char> output(kCapacity + 1, '\0');
    uint16_t result = reinterpret_cast<NarrowConvert>(convert_)(path.c_str(), output.data(), kCapacity);
    output[kCapacity] = '\0';
    converted = output.data();
    return result;
  }

  uint16_t ConvertWide(const std::string& path, std::string& converted) {
    std::vector<wchar_t> input(kCapacity + 1, L'\0');
    std::vector<wchar_t> output(kCapacity + 1, L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path.c_str(), -1, input.data(), kCapacity) == 0) return 0;
    uint16_t result = reinterpret_cast<WideConvert>(convert_)(input.data(), output.data(), kCapacity);
    output[kCapacity] = L'\0';
    converted = win32::AnsiFromWide(output.data());
    return result;
  }

  win32::UniqueModule module_;
  void* convert_;
  bool wide_;
};

}  // namespace

bool Win32UncPlatform::GetPlatformId(uint32_t& platformId) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
  platformId = version.dwPlatformId;
  return true;
}

std::unique_ptr<UncLibrary> Win32UncPlatform::Load(const char* libraryName, bool wide) {
  win32::UniqueModule module(LoadLibraryA(libraryName));
  if (!module) return nullptr;
  FARPROC convert = GetProcAddress(module.get(), MAKEINTRESOURCEA(kConvertEntry));
  FARPROC second = GetProcAddress(module.get(), MAKEINTRESOURCEA(kSecondEntry));
  if (!convert || !second) return nullptr;
  return std::make_unique<Win32UncLibrary>(std::move(module), reinterpret_cast<void*>(convert), wide);
}

}  // namespace stagewell::app
