#include "net/win32_internet_platform.h"

#include <windows.h>
#include <wininet.h>

#include <vector>

#include "common/win32_handles.h"
#include "common/win32_text.h"

namespace stagewell::net {
namespace {

using win32::UniqueInternet;

constexpr char kAgent[] = "QorRemote";
constexpr DWORD kRequestContext = 1;
constexpr DWORD kRequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT;
// Host and object each hold at most this many characters.
constexpr DWORD kMaxUrlPart = INTERNET_MAX_URL_LENGTH;

class Win32InternetPlatform final : public InternetPlatform {
 public:
  Win32InternetPlatform(uint32_t connectTimeoutMs, uint32_t receiveTimeoutMs)
      : m_connectTimeoutMs(connectTimeoutMs), m_receiveTimeoutMs(receiveTimeoutMs) {}

  unsigned UtcMilliseconds() override {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return now.wMilliseconds;
  }

  bool SplitUrl(const std::string& url, UrlParts& parts) override {
    std::string canonical;
    if (!Canonicalize(url, canonical)) return false;

    std::vector<char> host(kMaxUrlPart + 1), object(kMaxUrlPart + 1);
    URL_COMPONENTSA components{};
    components.dwStructSize = sizeof(components);
    components.lpszHostName = host.data();
    components.dwHostNameLength = static_cast<DWORD>(host.size());
    components.lpszUrlPath = object.data();
    components.dwUrlPathLength = static_cast<DWORD>(object.size());
    if (!InternetCrackUrlA(canonical.c_str(), static_cast<DWORD>(canonical.size()), 0, &components))
      return false;
    parts.isHttp = components.nScheme == INTERNET_SCHEME_HTTP;
    parts.host.assign(host.data(), components.dwHostNameLength);
    parts.object.assign(object.data(), components.dwUrlPathLength);
    parts.port = components.nPort != 0 ? components.nPort : INTERNET_DEFAULT_HTTP_PORT;
    return true;
  }

  void ShowBadUrl(const std::string& text) override { win32::ShowDiagnosticBox(text); }

  bool Connect(const std::string& host, uint16_t port) override {
    // The session opens with the one exchange, not for a run that is refused.
    if (!m_session) m_session.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!m_session) return false;
    SetTimeouts(m_session.get());
    m_connection.reset(InternetConnectA(m_session.get(), host.c_str(), port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!m_connection) return false;
    // Wine takes the time-outs from the connection, not from the session.
    SetTimeouts(m_connection.get());
    return true;
  }

  bool OpenRequest(const std::string& object) override {
    m_request.reset(HttpOpenRequestA(m_connection.get(), "GET", object.c_str(), nullptr, nullptr,
                                     nullptr, kRequestFlags, kRequestContext));
    if (!m_request) return false;
    SetTimeouts(m_request.get());
    return true;
  }

  bool AddRequestHeaders(const std::string& headers) override {
    return HttpAddRequestHeadersA(m_request.get(), headers.c_str(), static_cast<DWORD>(-1),
                                  HTTP_ADDREQ_FLAG_ADD_IF_NEW) != FALSE;
  }

  bool SendRequest() override {
    return HttpSendRequestA(m_request.get(), nullptr, 0, nullptr, 0) != FALSE;
  }

  bool QueryStatusCode(uint32_t& status) override {
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!HttpQueryInfoA(m_request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code,
                        &size, nullptr))
      return false;
    status = code;
    return true;
  }

  bool AskForCredentials() override {
    DWORD answer = InternetErrorDlg(GetDesktopWindow(), m_request.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                                    FLAGS_ERROR_UI_FLAGS_GENERATE_DATA | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                                    nullptr);
    return answer == ERROR_INTERNET_FORCE_RETRY;
  }

  bool ReadBody(char* buffer, size_t size, size_t& read) override {
    DWORD got = 0;
    BOOL ok = InternetReadFile(m_request.get(), buffer, static_cast<DWORD>(size), &got);
    read = got <= size ? got : size;
    return ok != FALSE;
  }

  void CloseRequest() override { m_request.reset(); }
  void CloseConnection() override { m_connection.reset(); }

 private:
  void SetTimeouts(HINTERNET handle) {
    DWORD connect = m_connectTimeoutMs;
    DWORD receive = m_receiveTimeoutMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect));
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
  }

  // Browser mode leaves everything after "?" as it stands.
  static bool Canonicalize(const std::string& url, std::string& canonical) {
    DWORD size = static_cast<DWORD>(url.size() + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::vector<char> buffer(size + 1);
      DWORD length = size;
      if (InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, ICU_BROWSER_MODE)) {
        canonical.assign(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
        return true;
      }
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
      size = length;
    }
    return false;
  }

  uint32_t m_connectTimeoutMs;
  uint32_t m_receiveTimeoutMs;
  // Destroyed bottom-up: request, connection, then session.
  UniqueInternet m_session;
  UniqueInternet m_connection;
  UniqueInternet m_request;
};

}  // namespace

std::unique_ptr<InternetPlatform> MakeWin32InternetPlatform(uint32_t connectTimeoutMs,
                                                           uint32_t receiveTimeoutMs) {
  return std::make_unique<Win32InternetPlatform>(connectTimeoutMs, receiveTimeoutMs);
}

}  // namespace stagewell::net
