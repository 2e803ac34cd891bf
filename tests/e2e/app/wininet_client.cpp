// Test helper: a WinINet client that exchanges nothing, for the trace test.
//
//   wininet_client.exe session                  opens a session and a connection handle, then closes them
//   wininet_client.exe cookie URL TEXT [...]    stores each cookie for its address, as a browser would
//   wininet_client.exe dialog HOST PATH         asks HOST for PATH (through the system proxy, kept out of
//                                               the cache and the cookie jar as the program's request is),
//                                               and answers a 401 or 407 with the password dialog, once
//
// Exits 0 when done, 1 on wrong usage, 2 when WinINet refuses a call
// (GetLastError is printed).

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

int Refused(const char* call) {
  std::fprintf(stderr, "%s failed: %lu\n", call, GetLastError());
  return 2;
}

// The program's own session: its agent, the system's proxy settings, a
// connection handle to the loopback; HTTP sends nothing until a request.
int OpenSession() {
  Internet session(InternetOpenA("QorRemote", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return Refused("InternetOpenA");
  Internet connection(InternetConnectA(session.get(), "127.0.0.1", INTERNET_DEFAULT_HTTP_PORT, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return Refused("InternetConnectA");
  return 0;
}

// The password dialog as the program opens it, for whatever Wine writes
// when it shows one; what the dialog answers does not matter here.
int AskThroughDialog(const char* host, const char* path) {
  Internet session(InternetOpenA("QorRemote", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return Refused("InternetOpenA");
  Internet connection(
      InternetConnectA(session.get(), host, INTERNET_DEFAULT_HTTP_PORT, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return Refused("InternetConnectA");
  Internet request(HttpOpenRequestA(connection.get(), "GET", path, nullptr, nullptr, nullptr,
                                    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, 0));
  if (!request) return Refused("HttpOpenRequestA");
  if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return Refused("HttpSendRequestA");
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    return Refused("HttpQueryInfoA");
  if (status != HTTP_STATUS_DENIED && status != HTTP_STATUS_PROXY_AUTH_REQ) {
    std::fprintf(stderr, "no challenge: status %lu\n", status);
    return 2;
  }
  InternetErrorDlg(GetDesktopWindow(), request.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                   FLAGS_ERROR_UI_FLAGS_GENERATE_DATA | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "session") == 0) return OpenSession();
  if (argc >= 4 && argc % 2 == 0 && std::strcmp(argv[1], "cookie") == 0) {
    for (int k = 2; k < argc; k += 2) {
      if (!InternetSetCookieA(argv[k], nullptr, argv[k + 1])) return Refused("InternetSetCookieA");
    }
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "dialog") == 0) return AskThroughDialog(argv[2], argv[3]);
  std::fputs("usage: wininet_client session | cookie URL TEXT [URL TEXT...] | dialog HOST PATH\n", stderr);
  return 1;
}
