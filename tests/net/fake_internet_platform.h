// A scripted InternetPlatform that records every call in order.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/internet_platform.h"

namespace stagewell::net::testing {

class FakeInternetPlatform : public InternetPlatform {
 public:
  // Script.
  unsigned milliseconds = 0;
  bool loadOk = true;
  bool splitOk = true;
  UrlParts parts{UrlScheme::kHttp, "service.example", 80, "/iqor/NewWA.dll?x=1"};
  bool connectOk = true, openOk = true, headersOk = true, statusOk = true;
  int failingSend = 0;                       // 1-based number of the send that fails; 0: none
  SendStatus failure = SendStatus::kFailed;  // how that send fails
  std::deque<uint32_t> statuses{200};
  bool dialogRetries = false;
  std::string body;
  size_t maxPiece = 1000;       // the body is handed out in pieces of at most this size
  bool readFailsAtEnd = false;  // the read after the body fails instead of returning 0

  // Record.
  std::vector<std::string> calls;
  std::string splitUrl, badUrlText, headers;
  size_t reads = 0;

  bool Load() override { return loadOk; }
  unsigned UtcMilliseconds() override { return milliseconds; }
  bool SplitUrl(const std::string& url, UrlParts& out) override {
    calls.push_back("split");
    splitUrl = url;
    if (splitOk) out = parts;
    return splitOk;
  }
  void ShowBadUrl(const std::string& text) override {
    calls.push_back("bad-url-box");
    badUrlText = text;
  }
  bool Connect(const std::string& host, uint16_t port) override {
    calls.push_back("connect " + host + ":" + std::to_string(port));
    return connectOk;
  }
  bool OpenRequest(const std::string& object, bool secure) override {
    calls.push_back((secure ? "open secure " : "open ") + object);
    return openOk;
  }
  bool AddRequestHeaders(const std::string& text) override {
    calls.push_back("headers");
    headers = text;
    return headersOk;
  }
  SendStatus SendRequest() override {
    calls.push_back("send");
    return ++m_nSends != failingSend ? SendStatus::kSent : failure;
  }
  bool QueryStatusCode(uint32_t& status) override {
    calls.push_back("status");
    if (!statusOk || statuses.empty()) return false;
    status = statuses.front();
    if (statuses.size() > 1) statuses.pop_front();
    return true;
  }
  bool AskForCredentials() override {
    calls.push_back("dialog");
    return dialogRetries;
  }
  ReadStatus ReadBody(char* buffer, size_t size, size_t& read) override {
    ++reads;
    read = std::min({size, maxPiece, body.size() - m_nOffset});
    std::memcpy(buffer, body.data() + m_nOffset, read);
    m_nOffset += read;
    return read == 0 && readFailsAtEnd ? ReadStatus::kFailed : ReadStatus::kRead;
  }
  void CloseRequest() override { calls.push_back("close-request"); }
  void CloseConnection() override { calls.push_back("close-connection"); }

 private:
  size_t m_nOffset = 0;
  int m_nSends = 0;
};

}  // namespace stagewell::net::testing
