#include "app/unc_path_converter.h"

namespace stagewell::app {

const char* const kNarrowUncLibrary = "QorUncDllA.dll";
const char* const kWideUncLibrary = "QorUncDllU.dll";

namespace {
constexpr uint16_t kConverted = 1;
}

CUncPathConverter::CUncPathConverter(UncPlatform& platform) {
  uint32_t platformId = 0;
  if (!platform.GetPlatformId(platformId)) return;
  if (platformId == kPlatformWindows9x) {
    m_library = platform.Load(kNarrowUncLibrary, false);
  } else if (platformId == kPlatformNt) {
    m_library = platform.Load(kWideUncLibrary, true);
  }
}

std::string CUncPathConverter::Convert(const std::string& path) {
  if (!m_library) return std::string();
  std::string converted;
  if (m_library->Convert(path, converted) != kConverted) return std::string();
  return converted;
}

}  // namespace stagewell::app
