#include "common/win32_system_library.h"

#include <windows.h>

#include <vector>

#include "common/win32_proc_address.h"

namespace stagewell::win32 {
namespace {

// A folder path without its trailing separator, read with the usual
// grow-and-retry protocol of calls that return the length they need.
template <typename Read>
std::wstring ReadPath(Read read) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const UINT capacity = static_cast<UINT>(buffer.size());
    const UINT length = read(buffer.data(), capacity);
    if (length == 0) return {};
    if (length < capacity) return std::wstring(buffer.data(), length);
    buffer.resize(static_cast<size_t>(length) * 2 + 1);
  }
  return {};
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "X:\..." or "\\server\...". A relative path would be resolved against the
// current folder, and LOAD_WITH_ALTERED_SEARCH_PATH leaves its search undefined.
bool IsFullPath(const std::wstring& path) {
  if (path.size() < 3) return false;
  const wchar_t drive = path[0];
  const bool letter = (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
  return (letter && path[1] == L':' && IsSeparator(path[2])) || (IsSeparator(path[0]) && IsSeparator(path[1]));
}

}  // namespace

std::wstring PathInFolder(std::wstring folder, const wchar_t* name) {
  if (folder.empty()) return {};
  if (!IsSeparator(folder.back())) folder += L'\\';
  return folder + name;
}

void RestrictDllSearch() {
  // Looked up at run time: Windows 7 gained the first with an update, XP the
  // second with SP1.
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto setDefaultDllDirectories =
      ProcAddress<decltype(&::SetDefaultDllDirectories)>(kernel32, "SetDefaultDllDirectories");
  if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  auto setDllDirectory = ProcAddress<decltype(&::SetDllDirectoryW)>(kernel32, "SetDllDirectoryW");
  if (setDllDirectory) setDllDirectory(L"");
}

std::wstring SystemFolderPath(const wchar_t* name) {
  return PathInFolder(ReadPath([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); }), name);
}

std::wstring WindowsFolderPath(const wchar_t* name) {
  // Not GetWindowsDirectory: under Terminal Services it can give a private
  // folder of the user's instead of the system's.
  return PathInFolder(ReadPath([](wchar_t* buffer, UINT size) { return GetSystemWindowsDirectoryW(buffer, size); }),
                      name);
}

std::wstring ExeFolderPath(const wchar_t* name) {
  std::wstring exe = ReadPath([](wchar_t* buffer, UINT size) {
    // Truncation returns the full size, which the retry takes as "grow".
    return static_cast<UINT>(GetModuleFileNameW(nullptr, buffer, size));
  });
  const size_t separator = exe.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  return PathInFolder(exe.substr(0, separator), name);
}

UniqueModule LoadLibraryAt(const std::wstring& path) {
  if (!IsFullPath(path)) return UniqueModule();
  return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

UniqueModule LoadSystemLibrary(const wchar_t* name) { return LoadLibraryAt(SystemFolderPath(name)); }

}  // namespace stagewell::win32
