#include "common/win32_diagnostic_box.h"

#include <windows.h>

#include "app/resource.h"
#include "common/win32_text.h"

namespace stagewell::win32 {

std::wstring ApplicationTitle() {
  // With no buffer, LoadString hands out the resource's own text, which has
  // no terminator: take exactly its length.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), IDS_APP_TITLE, reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

void ShowDiagnosticBox(const std::string& text) {
  MessageBoxW(nullptr, WideFromAnsi(text).c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace stagewell::win32
