// The one HTTP exchange of the run: GET of one address with the program's
// headers and a cache-defeating parameter, one retry after each password
// dialog (the server's and the proxy's), and the first line of the response
// body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/internet_platform.h"

namespace stagewell::net {

// An endless reply line must not exhaust memory; a sealed reply is far shorter.
constexpr size_t kMaxReplyLine = size_t{64} * 1024;

// Plain HTTP, or HTTPS with the server's certificate checked.
enum class Transport { kPlain, kSecure };

enum class SendOutcome {
  kResponse,            // any status, a 401 the user did not answer with retry excepted
  kNoResponse,          // nothing came back from the service
  kCertificateInvalid,  // the server's certificate failed the check; nothing was sent
};

class CServerRequest {
 public:
  explicit CServerRequest(InternetPlatform& platform, Transport transport = Transport::kPlain);
  ~CServerRequest();
  CServerRequest(const CServerRequest&) = delete;
  CServerRequest& operator=(const CServerRequest&) = delete;

  SendOutcome Send(std::string url);
  // The first body line without its line feed, at most kMaxReplyLine bytes.
  // False, with the line cleared, when a read failed or the exchange's time ran
  // out before the line ended: part of a reply is no reply.
  bool ReadReply(std::string& line);
  void Close();

 private:
  SendOutcome SendAndReadStatus(uint32_t& status);

  InternetPlatform& m_platform;
  Transport m_transport;
};

}  // namespace stagewell::net
