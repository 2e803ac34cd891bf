// Typed entry points of libraries loaded at run time (by name or by number).
#pragma once

#include <windows.h>

namespace stagewell::win32 {

// Null when the module is not loaded or lacks the entry point.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace stagewell::win32
