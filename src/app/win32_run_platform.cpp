#include "app/win32_run_platform.h"

#include <windows.h>

#include "common/win32_handles.h"
#include "common/win32_text.h"

namespace stagewell::app {

bool Win32FileLookup::Exists(const std::string& path) {
  WIN32_FIND_DATAA found;
  return static_cast<bool>(win32::UniqueFind(FindFirstFileA(path.c_str(), &found)));
}

bool Win32ComputerName::Get(std::string& name) {
  char buffer[16] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) return false;
  name.assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}

LocalTime Win32Clock::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

void Win32MessageBoxes::Show(const BoxMessage& message) {
  MessageBoxW(nullptr, win32::WideFromUtf8(message.text).c_str(), win32::WideFromUtf8(message.title).c_str(),
              message.flags);
}

}  // namespace stagewell::app
