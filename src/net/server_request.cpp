#include "net/server_request.h"

#include <algorithm>

namespace stagewell::net {
namespace {

std::string RequestHeaders() { return std::string("Accept: text/*\r\nUser-Agent: ") + kUserAgent + "\r\n"; }
constexpr uint32_t kStatusUnauthorized = 401;
// Below this no status line arrived (a connection closed without a response).
constexpr uint32_t kLowestStatus = 100;
constexpr size_t kReadPiece = 127;

}  // namespace

CServerRequest::CServerRequest(InternetPlatform& platform) : m_platform(platform) {}

CServerRequest::~CServerRequest() { Close(); }

bool CServerRequest::Send(std::string url) {
  if (!m_platform.Load()) return false;
  if (url.compare(0, 5, "http:") != 0) url.insert(0, "http://");
  url += "&Snozel=" + std::to_string(m_platform.UtcMilliseconds());

  UrlParts parts;
  if (!m_platform.SplitUrl(url, parts) || !parts.isHttp) {
    m_platform.ShowBadUrl("Bad Url:" + url);
    return false;
  }
  if (!m_platform.Connect(parts.host, parts.port)) return false;
  if (!m_platform.OpenRequest(parts.object)) return false;
  if (!m_platform.AddRequestHeaders(RequestHeaders())) return false;

  uint32_t status = 0;
  if (!SendAndReadStatus(status)) return false;
  if (status == kStatusUnauthorized) {
    if (!m_platform.AskForCredentials()) return false;
    // The second status is a response whatever it is: a second 401 included.
    if (!SendAndReadStatus(status)) return false;
  }
  return true;
}

bool CServerRequest::SendAndReadStatus(uint32_t& status) {
  return m_platform.SendRequest() && m_platform.QueryStatusCode(status) && status >= kLowestStatus;
}

void CServerRequest::ReadReply(std::string& line) {
  line.clear();
  char piece[kReadPiece];
  while (line.size() < kMaxReplyLine) {
    size_t want = std::min(kReadPiece, kMaxReplyLine - line.size());
    size_t read = 0;
    if (!m_platform.ReadBody(piece, want, read) || read == 0) return;
    read = std::min(read, want);
    for (size_t i = 0; i < read; ++i) {
      if (piece[i] == '\n') {
        line.append(piece, i);
        return;
      }
    }
    line.append(piece, read);
  }
}

void CServerRequest::Close() {
  m_platform.CloseRequest();
  m_platform.CloseConnection();
}

}  // namespace stagewell::net
