// WinINet, loaded from the system folder on first use instead of imported: an
// import is resolved by the loader's search, before any of our code runs, so a
// wininet.dll planted beside the exe would load with it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "common/win32_handles.h"

namespace stagewell::net::wininet {

// Every entry the program calls, named once: the table's members and the
// names bound to them are both made from this list, so none can be left unbound.
#define STAGEWELL_WININET_ENTRIES(ENTRY) \
  ENTRY(InternetOpenA)                   \
  ENTRY(InternetConnectA)                \
  ENTRY(InternetSetOptionA)              \
  ENTRY(InternetCanonicalizeUrlA)        \
  ENTRY(InternetCrackUrlA)               \
  ENTRY(HttpOpenRequestA)                \
  ENTRY(HttpAddRequestHeadersA)          \
  ENTRY(HttpSendRequestA)                \
  ENTRY(HttpQueryInfoA)                  \
  ENTRY(InternetErrorDlg)                \
  ENTRY(InternetReadFile)                \
  ENTRY(InternetCloseHandle)

struct Entries {
#define STAGEWELL_WININET_MEMBER(name) decltype(&::name) name = nullptr;
  STAGEWELL_WININET_ENTRIES(STAGEWELL_WININET_MEMBER)
#undef STAGEWELL_WININET_MEMBER
};

// The loaded entries, or null when the library or any entry is missing. The
// library stays loaded for the life of the process: a worker may still be
// inside it when the run ends.
const Entries* Load();

// Loads, from the system folder, the libraries WinINet would otherwise load
// by bare name while it sends a request (Windows 7 without its update, and
// XP, search the exe's folder first); a library already in the process is
// found by name without a search. For every request, the security libraries
// that a server's or a proxy's NTLM or Negotiate challenge brings in; over
// HTTPS, also those of TLS. Those a Windows version lacks are left out. Each
// set once per process; they stay loaded with WinINet.
void LoadRequestLibraries(bool secure);

struct InternetTraits {
  static HINTERNET Empty() { return nullptr; }
  // A handle exists only once the entries did.
  static void Close(HINTERNET handle) { Load()->InternetCloseHandle(handle); }
};
using UniqueInternet = win32::UniqueResource<HINTERNET, InternetTraits>;

}  // namespace stagewell::net::wininet
