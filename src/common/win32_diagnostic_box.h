// The English diagnostics ("Unable to load ....dll", the sizing messages,
// "Bad Url:"): the standard box with the application's title, OK and the
// exclamation icon.
#pragma once

#include <string>

namespace stagewell::win32 {

// The title from the exe's string table.
std::wstring ApplicationTitle();

// `text` is ANSI.
void ShowDiagnosticBox(const std::string& text);

}  // namespace stagewell::win32
