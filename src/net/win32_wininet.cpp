#include "net/win32_wininet.h"

#include "common/win32_proc_address.h"
#include "common/win32_system_library.h"

namespace stagewell::net::wininet {
namespace {

template <typename Function>
bool Bind(HMODULE module, const char* name, Function& entry) {
  entry = win32::ProcAddress<Function>(module, name);
  return entry != nullptr;
}

bool BindAll(HMODULE module, Entries& entries) {
#define STAGEWELL_WININET_BIND(name) \
  if (!Bind(module, #name, entries.name)) return false;
  STAGEWELL_WININET_ENTRIES(STAGEWELL_WININET_BIND)
#undef STAGEWELL_WININET_BIND
  return true;
}

const Entries* LoadOnce() {
  static Entries entries;
  HMODULE module = win32::LoadSystemLibrary(L"wininet.dll").release();
  if (!module) return nullptr;
  if (!BindAll(module, entries)) {
    FreeLibrary(module);
    return nullptr;
  }
  return &entries;
}

}  // namespace

const Entries* Load() {
  // A thread-safe static: the first use may be on the worker while the
  // interface thread closes handles, which needs the table too.
  static const Entries* const loaded = LoadOnce();
  return loaded;
}

}  // namespace stagewell::net::wininet
