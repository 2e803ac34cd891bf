// The one HTTP exchange of the run: GET of one address with the program's
// headers and a cache-defeating parameter, one retry after the password
// dialog, and the first line of the response body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/internet_platform.h"

namespace stagewell::net {

// An endless reply line must not exhaust memory; a sealed reply is far shorter.
constexpr size_t kMaxReplyLine = size_t{64} * 1024;

class CServerRequest {
 public:
  explicit CServerRequest(InternetPlatform& platform);
  ~CServerRequest();
  CServerRequest(const CServerRequest&) = delete;
  CServerRequest& operator=(const CServerRequest&) = delete;

  // True when a response was obtained, whatever its status (a 401 the user
  // did not answer with retry excepted).
  bool Send(std::string url);
  // The first body line without its line feed, at most kMaxReplyLine bytes.
  void ReadReply(std::string& line);
  void Close();

 private:
  bool SendAndReadStatus(uint32_t& status);

  InternetPlatform& m_platform;
};

}  // namespace stagewell::net
