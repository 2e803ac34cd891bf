// The operations of the one HTTP exchange that belong to the platform: URL
// splitting, the internet handles, the UTC clock and the two dialogs. The
// request logic above it stays portable and testable with a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stagewell::net {

// The program's agent name: the session is opened with it and the request
// sends it in its User-Agent header.
constexpr char kUserAgent[] = "QorRemote";

enum class UrlScheme { kOther, kHttp, kHttps };

struct UrlParts {
  UrlScheme scheme = UrlScheme::kOther;
  std::string host;
  uint16_t port = 80;
  std::string object;  // path with query
};

// How sending a request ended. A certificate that fails the platform's check
// ends it before anything is sent.
enum class SendStatus { kSent, kFailed, kCertificateInvalid };

// How a read of the body ended. kFailed: what was read so far is not the
// whole answer (the connection failed or stalled, or the exchange's time ran out).
enum class ReadStatus { kRead, kFailed };

class InternetPlatform {
 public:
  virtual ~InternetPlatform() = default;

  // Makes the platform's library ready; without it the exchange ends with no
  // reply, before any other call.
  virtual bool Load() = 0;
  // Milliseconds field (0-999) of the current UTC time.
  virtual unsigned UtcMilliseconds() = 0;
  // Canonicalises (nothing after "?" escaped) and cracks the URL.
  virtual bool SplitUrl(const std::string& url, UrlParts& parts) = 0;
  // The standard box with the application's title and OK only.
  virtual void ShowBadUrl(const std::string& text) = 0;

  virtual bool Connect(const std::string& host, uint16_t port) = 0;
  // `secure`: over TLS, the server's certificate checked by the platform; no
  // certificate error is ever ignored.
  virtual bool OpenRequest(const std::string& object, bool secure) = 0;
  virtual bool AddRequestHeaders(const std::string& headers) = 0;
  virtual SendStatus SendRequest() = 0;
  virtual bool QueryStatusCode(uint32_t& status) = 0;
  // The password dialog for the pending request (the server's after a 401,
  // the proxy's after a 407); true when the user asked for the request to be
  // sent again.
  virtual bool AskForCredentials() = 0;
  // Reads up to `size` bytes of the body; `read` 0 means the body has ended.
  virtual ReadStatus ReadBody(char* buffer, size_t size, size_t& read) = 0;

  // Each does nothing when its handle was never opened.
  virtual void CloseRequest() = 0;
  virtual void CloseConnection() = 0;
};

}  // namespace stagewell::net
