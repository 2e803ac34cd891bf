#include "net/server_request.h"

#include <algorithm>

namespace stagewell::net {
namespace {

std::string RequestHeaders() { return std::string("Accept: text/*\r\nUser-Agent: ") + kUserAgent + "\r\n"; }
constexpr uint32_t kStatusUnauthorized = 401;
constexpr uint32_t kStatusProxyAuthenticationRequired = 407;
// Below this no status line arrived (a connection closed without a response).
constexpr uint32_t kLowestStatus = 100;
constexpr size_t kReadPiece = 127;

}  // namespace

CServerRequest::CServerRequest(InternetPlatform& platform, Transport transport)
    : m_platform(platform), m_transport(transport) {}

CServerRequest::~CServerRequest() { Close(); }

SendOutcome CServerRequest::Send(std::string url) {
  if (!m_platform.Load()) return SendOutcome::kNoResponse;
  const bool secure = m_transport == Transport::kSecure;
  const char* const scheme = secure ? "https:" : "http:";
  if (url.compare(0, std::char_traits<char>::length(scheme), scheme) != 0) url.insert(0, std::string(scheme) + "//");
  url += "&Snozel=" + std::to_string(m_platform.UtcMilliseconds());

  UrlParts parts;
  if (!m_platform.SplitUrl(url, parts) || parts.scheme != (secure ? UrlScheme::kHttps : UrlScheme::kHttp)) {
    m_platform.ShowBadUrl("Bad Url:" + url);
    return SendOutcome::kNoResponse;
  }
  if (!m_platform.Connect(parts.host, parts.port)) return SendOutcome::kNoResponse;
  if (!m_platform.OpenRequest(parts.object, secure)) return SendOutcome::kNoResponse;
  if (!m_platform.AddRequestHeaders(RequestHeaders())) return SendOutcome::kNoResponse;

  // Each challenge gets its dialog and one retry: the proxy's first, since
  // nothing reaches the service before the proxy lets it through.
  bool askedServer = false;
  bool askedProxy = false;
  for (;;) {
    uint32_t status = 0;
    const SendOutcome sent = SendAndReadStatus(status);
    if (sent != SendOutcome::kResponse) return sent;
    if (status == kStatusProxyAuthenticationRequired) {
      // The proxy's refusal is not the service's answer, however often it comes.
      if (askedProxy || !m_platform.AskForCredentials()) return SendOutcome::kNoResponse;
      askedProxy = true;
    } else if (status == kStatusUnauthorized && !askedServer) {
      if (!m_platform.AskForCredentials()) return SendOutcome::kNoResponse;
      askedServer = true;
    } else {
      // A second 401 is a response like any other status.
      return SendOutcome::kResponse;
    }
  }
}

SendOutcome CServerRequest::SendAndReadStatus(uint32_t& status) {
  switch (m_platform.SendRequest()) {
    case SendStatus::kCertificateInvalid:
      return SendOutcome::kCertificateInvalid;
    case SendStatus::kFailed:
      return SendOutcome::kNoResponse;
    case SendStatus::kSent:
      break;
  }
  return m_platform.QueryStatusCode(status) && status >= kLowestStatus ? SendOutcome::kResponse
                                                                       : SendOutcome::kNoResponse;
}

bool CServerRequest::ReadReply(std::string& line) {
  line.clear();
  char piece[kReadPiece];
  while (line.size() < kMaxReplyLine) {
    size_t want = std::min(kReadPiece, kMaxReplyLine - line.size());
    size_t read = 0;
    // A read that fails before the line, the body or the bound ends leaves a
    // part, and whole blocks of a part open to whatever they say, "0" included.
    if (m_platform.ReadBody(piece, want, read) != ReadStatus::kRead) {
      line.clear();
      return false;
    }
    if (read == 0) return true;
    read = std::min(read, want);
    for (size_t i = 0; i < read; ++i) {
      if (piece[i] == '\n') {
        line.append(piece, i);
        return true;
      }
    }
    line.append(piece, read);
  }
  return true;
}

void CServerRequest::Close() {
  m_platform.CloseRequest();
  m_platform.CloseConnection();
}

}  // namespace stagewell::net
