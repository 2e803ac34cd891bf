#include "net/win32_internet_platform.h"

#include <vector>

#include "common/win32_diagnostic_box.h"
#include "common/win32_lock.h"
#include "net/win32_wininet.h"

namespace stagewell::net {
namespace {

using wininet::UniqueInternet;

constexpr DWORD kRequestContext = 1;
// The address carries the sealed record and its key: kept out of the URL cache and the cookie jar.
constexpr DWORD kRequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES;
// Host and object each hold at most this many characters.
constexpr DWORD kMaxUrlPart = INTERNET_MAX_URL_LENGTH;
// Newer than this toolchain's header.
constexpr DWORD kErrorCertificateWeakSignature = INTERNET_ERROR_BASE + 62;

// The errors of a server certificate that fails the check: chain, name, dates,
// revocation, signature. The request was not sent.
bool IsCertificateError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case kErrorCertificateWeakSignature:
      return true;
    default:
      return false;
  }
}

UrlScheme SchemeOf(INTERNET_SCHEME scheme) {
  switch (scheme) {
    case INTERNET_SCHEME_HTTP:
      return UrlScheme::kHttp;
    case INTERNET_SCHEME_HTTPS:
      return UrlScheme::kHttps;
    default:
      return UrlScheme::kOther;
  }
}

// The handles are shared with Abort on the interface thread. Each call takes
// its handle under the lock but makes the call without it, so that Abort can
// close the handle under a call that blocks.
class Win32InternetPlatform final : public AbortableInternetPlatform {
 public:
  Win32InternetPlatform(uint32_t connectTimeoutMs, uint32_t receiveTimeoutMs)
      : m_connectTimeoutMs(connectTimeoutMs), m_receiveTimeoutMs(receiveTimeoutMs) {}

  bool Load() override {
    m_api = wininet::Load();
    return m_api != nullptr;
  }

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
    if (!m_api->InternetCrackUrlA(canonical.c_str(), static_cast<DWORD>(canonical.size()), 0, &components))
      return false;
    parts.scheme = SchemeOf(components.nScheme);
    parts.host.assign(host.data(), components.dwHostNameLength);
    parts.object.assign(object.data(), components.dwUrlPathLength);
    const INTERNET_PORT defaultPort =
        parts.scheme == UrlScheme::kHttps ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    parts.port = components.nPort != 0 ? components.nPort : defaultPort;
    return true;
  }

  void ShowBadUrl(const std::string& text) override { win32::ShowDiagnosticBox(text); }

  bool Connect(const std::string& host, uint16_t port) override {
    // The session opens with the one exchange, not for a run that is refused.
    if (!Current(m_session) &&
        !Keep(m_session, m_api->InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)))
      return false;
    HINTERNET session = Current(m_session);
    if (!session) return false;
    SetTimeouts(session);
    if (!Keep(m_connection,
              m_api->InternetConnectA(session, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)))
      return false;
    // Wine takes the time-outs from the connection, not from the session.
    SetTimeouts(Current(m_connection));
    return true;
  }

  bool OpenRequest(const std::string& object, bool secure) override {
    HINTERNET connection = Current(m_connection);
    if (!connection) return false;
    wininet::LoadRequestLibraries(secure);
    // Secure and nothing else: no flag that would let a certificate error pass.
    const DWORD flags = kRequestFlags | (secure ? INTERNET_FLAG_SECURE : 0);
    if (!Keep(m_request, m_api->HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, nullptr, flags,
                                                 kRequestContext)))
      return false;
    SetTimeouts(Current(m_request));
    return true;
  }

  bool AddRequestHeaders(const std::string& headers) override {
    HINTERNET request = Current(m_request);
    return request && m_api->HttpAddRequestHeadersA(request, headers.c_str(), static_cast<DWORD>(-1),
                                                    HTTP_ADDREQ_FLAG_ADD_IF_NEW) != FALSE;
  }

  SendStatus SendRequest() override {
    HINTERNET request = Current(m_request);
    if (!request) return SendStatus::kFailed;
    m_bodyRead = 0;
    if (m_api->HttpSendRequestA(request, nullptr, 0, nullptr, 0)) return SendStatus::kSent;
    return IsCertificateError(GetLastError()) ? SendStatus::kCertificateInvalid : SendStatus::kFailed;
  }

  bool QueryStatusCode(uint32_t& status) override {
    HINTERNET request = Current(m_request);
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!request ||
        !m_api->HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
      return false;
    status = code;
    return true;
  }

  // For a 407 the same call shows the proxy's dialog: it looks at the status.
  bool AskForCredentials() override {
    HINTERNET request = Current(m_request);
    if (!request) return false;
    DWORD answer =
        m_api->InternetErrorDlg(GetDesktopWindow(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
                                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, nullptr);
    return answer == ERROR_INTERNET_FORCE_RETRY;
  }

  ReadStatus ReadBody(char* buffer, size_t size, size_t& read) override {
    read = 0;
    HINTERNET request = Current(m_request);
    if (!request) return ReadStatus::kFailed;
    DWORD got = 0;
    if (!m_api->InternetReadFile(request, buffer, static_cast<DWORD>(size), &got)) return ReadStatus::kFailed;
    read = got <= size ? got : size;
    m_bodyRead += read;
    // Wine's WinINet reports a connection reset inside the body as its end:
    // a body shorter than it announced did not end.
    return read == 0 && EndedShort(request) ? ReadStatus::kFailed : ReadStatus::kRead;
  }

  void CloseRequest() override { Release(m_request); }
  void CloseConnection() override { Release(m_connection); }

  void Abort() override {
    win32::Locked hold(m_lock);
    m_aborted = true;
    m_request.reset();
    m_connection.reset();
    m_session.reset();
  }

 private:
  // The handle to call with; null once aborted.
  HINTERNET Current(const UniqueInternet& handle) {
    win32::Locked hold(m_lock);
    return m_aborted ? nullptr : handle.get();
  }

  // Takes a new handle into its slot, or closes it when Abort came first.
  bool Keep(UniqueInternet& slot, HINTERNET created) {
    UniqueInternet owned(created);
    win32::Locked hold(m_lock);
    if (m_aborted || !owned) return false;
    slot = std::move(owned);
    return true;
  }

  void Release(UniqueInternet& slot) {
    UniqueInternet closing;
    {
      win32::Locked hold(m_lock);
      closing = std::move(slot);
    }
  }

  bool EndedShort(HINTERNET request) {
    DWORD announced = 0;
    DWORD size = sizeof(announced);
    return m_api->HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size,
                                 nullptr) &&
           m_bodyRead < announced;
  }

  void SetTimeouts(HINTERNET handle) {
    if (!handle) return;
    DWORD connect = m_connectTimeoutMs;
    DWORD receive = m_receiveTimeoutMs;
    m_api->InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect));
    m_api->InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
  }

  // Browser mode leaves everything after "?" as it stands.
  bool Canonicalize(const std::string& url, std::string& canonical) {
    DWORD size = static_cast<DWORD>(url.size() + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::vector<char> buffer(size + 1);
      DWORD length = size;
      if (m_api->InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, ICU_BROWSER_MODE)) {
        canonical.assign(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
        return true;
      }
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
      size = length;
    }
    return false;
  }

  const wininet::Entries* m_api = nullptr;
  uint32_t m_connectTimeoutMs;
  uint32_t m_receiveTimeoutMs;
  win32::CriticalSection m_lock;
  bool m_aborted = false;
  uint64_t m_bodyRead = 0;  // of the response to the last send; the worker's alone
  // Destroyed bottom-up: request, connection, then session.
  UniqueInternet m_session;
  UniqueInternet m_connection;
  UniqueInternet m_request;
};

}  // namespace

std::unique_ptr<AbortableInternetPlatform> MakeWin32InternetPlatform(uint32_t connectTimeoutMs,
                                                                     uint32_t receiveTimeoutMs) {
  return std::make_unique<Win32InternetPlatform>(connectTimeoutMs, receiveTimeoutMs);
}

}  // namespace stagewell::net
