#include "app/unc_path_converter.h"

namespace stagewell::app {

const char* const kNarrowUncLibrary = "QorUncDllA.dll";
const char* const kWideUncLibrary = "QorUncDllU.dll";

namespace {

constexpr uint16_t kConverted = 1;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "X:\..." or a network path "\\server\...". A folder without a drive
// ("\Prog"), with a drive but no root ("C:Prog") or with neither is resolved
// against a current folder.
bool IsAbsolutePath(const std::string& path) {
  if (path.size() < 3) return false;
  const char drive = path[0];
  const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  if (letter && path[1] == ':' && IsSeparator(path[2])) return true;
  return IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

}  // namespace

CUncPathConverter::CUncPathConverter(UncPlatform& platform, const std::string& productFolder) {
  uint32_t platformId = 0;
  if (!platform.GetPlatformId(platformId)) return;
  const bool wide = platformId == kPlatformNt;
  if (!wide && platformId != kPlatformWindows9x) return;
  const char* name = wide ? kWideUncLibrary : kNarrowUncLibrary;

  const UncLibraryFolder folders[] = {
      {UncLibraryFolder::kExe, std::string()},
      {UncLibraryFolder::kProduct, productFolder},
      {UncLibraryFolder::kSystem, std::string()},
      {UncLibraryFolder::kWindows, std::string()},
  };
  for (const UncLibraryFolder& folder : folders) {
    if (folder.kind == UncLibraryFolder::kProduct && !IsAbsolutePath(folder.path)) continue;
    m_library = platform.Load(folder, name, wide);
    if (m_library) return;
  }
}

std::string CUncPathConverter::Convert(const std::string& path) {
  if (!m_library) return std::string();
  std::string converted;
  if (m_library->Convert(path, converted) != kConverted) return std::string();
  return converted;
}

}  // namespace stagewell::app
