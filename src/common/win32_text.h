// Conversions between the program's texts and the wide API.
#pragma once

#include <string>

namespace stagewell::win32 {

// UTF-8 (our Hebrew message texts) to UTF-16.
std::wstring WideFromUtf8(const std::string& text);
// ANSI code page bytes (registry values, URLs) to UTF-16.
std::wstring WideFromAnsi(const std::string& text);
// UTF-16 to the ANSI code page, with the platform's default replacement character.
std::string AnsiFromWide(const wchar_t* text, int length = -1);

}  // namespace stagewell::win32
