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

// The security support interface: what a 401 or 407 offering NTLM or
// Negotiate loads on any transport. From Windows 7 on, secur32's entries
// forward to sspicli, and a forwarder is resolved by name.
constexpr const wchar_t* kSecurityLibraries[] = {L"secur32.dll", L"sspicli.dll"};
// TLS: its provider, the certificate store and chain engine, the cryptographic
// providers under them, and the revocation checker that the chain engine loads
// by its registered bare name where Internet Options ask for revocation checks
// (Windows' default; Wine's WinINet asks for none).
constexpr const wchar_t* kTlsLibraries[] = {L"schannel.dll", L"crypt32.dll", L"msasn1.dll",  L"bcrypt.dll",
                                            L"ncrypt.dll",   L"rsaenh.dll",  L"cryptnet.dll"};

template <size_t count>
bool LoadEach(const wchar_t* const (&names)[count]) {
  for (const wchar_t* name : names) win32::LoadSystemLibrary(name).release();
  return true;
}

}  // namespace

void LoadRequestLibraries(bool secure) {
  static const bool security = LoadEach(kSecurityLibraries);
  (void)security;
  if (!secure) return;
  static const bool tls = LoadEach(kTlsLibraries);
  (void)tls;
}

const Entries* Load() {
  // A thread-safe static: the first use may be on the worker while the
  // interface thread closes handles, which needs the table too.
  static const Entries* const loaded = LoadOnce();
  return loaded;
}

}  // namespace stagewell::net::wininet
