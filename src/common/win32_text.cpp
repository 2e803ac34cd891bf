#include "common/win32_text.h"

#include <windows.h>

namespace stagewell::win32 {
namespace {

std::wstring WideFrom(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace

std::wstring WideFromUtf8(const std::string& text) { return WideFrom(CP_UTF8, text); }
std::wstring WideFromAnsi(const std::string& text) { return WideFrom(CP_ACP, text); }

std::string AnsiFromWide(const wchar_t* text, int length) {
  if (!text) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), size, nullptr, nullptr);
  if (length < 0 && !ansi.empty() && ansi.back() == '\0') ansi.pop_back();
  return ansi;
}

}  // namespace stagewell::win32
