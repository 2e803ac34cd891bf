// WinINet, loaded from the system folder on first use instead of imported: an
// import is resolved by the loader's search, before any of our code runs, so a
// wininet.dll planted beside the exe would load with it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "common/win32_handles.h"

namespace stagewell::net::wininet {

struct Entries {
  decltype(&::InternetOpenA) InternetOpenA;
  decltype(&::InternetConnectA) InternetConnectA;
  decltype(&::InternetSetOptionA) InternetSetOptionA;
  decltype(&::InternetCanonicalizeUrlA) InternetCanonicalizeUrlA;
  decltype(&::InternetCrackUrlA) InternetCrackUrlA;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA;
  decltype(&::HttpAddRequestHeadersA) HttpAddRequestHeadersA;
  decltype(&::HttpSendRequestA) HttpSendRequestA;
  decltype(&::HttpQueryInfoA) HttpQueryInfoA;
  decltype(&::InternetErrorDlg) InternetErrorDlg;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
};

// The loaded entries, or null when the library or any entry is missing. The
// library stays loaded for the life of the process: a worker may still be
// inside it when the run ends.
const Entries* Load();

struct InternetTraits {
  static HINTERNET Empty() { return nullptr; }
  // A handle exists only once the entries did.
  static void Close(HINTERNET handle) { Load()->InternetCloseHandle(handle); }
};
using UniqueInternet = win32::UniqueResource<HINTERNET, InternetTraits>;

}  // namespace stagewell::net::wininet
