// The exchange's platform calls held to a total deadline: the first
// connection starts the clock, the password dialog pauses it, and once it has
// run out every call fails without reaching the platform, so a worker that
// comes back late does nothing more: a body read refused so fails, so that
// part of a reply is never taken for the reply.
#pragma once

#include "net/internet_platform.h"

namespace stagewell::net {

// The clock of one exchange, shared with whoever ends a late exchange.
class ExchangeTimer {
 public:
  virtual ~ExchangeTimer() = default;
  virtual void Start() = 0;
  // False, with nothing changed, once the time has run out.
  virtual bool Pause() = 0;
  virtual void Resume() = 0;
  virtual bool Expired() = 0;
};

class DeadlineInternetPlatform : public InternetPlatform {
 public:
  DeadlineInternetPlatform(InternetPlatform& platform, ExchangeTimer& timer) : m_platform(platform), m_timer(timer) {}

  bool Load() override { return m_platform.Load(); }
  unsigned UtcMilliseconds() override { return m_platform.UtcMilliseconds(); }
  bool SplitUrl(const std::string& url, UrlParts& parts) override { return m_platform.SplitUrl(url, parts); }
  void ShowBadUrl(const std::string& text) override { m_platform.ShowBadUrl(text); }

  bool Connect(const std::string& host, uint16_t port) override;
  bool OpenRequest(const std::string& object, bool secure) override;
  bool AddRequestHeaders(const std::string& headers) override;
  SendStatus SendRequest() override;
  bool QueryStatusCode(uint32_t& status) override;
  bool AskForCredentials() override;
  ReadStatus ReadBody(char* buffer, size_t size, size_t& read) override;

  void CloseRequest() override { m_platform.CloseRequest(); }
  void CloseConnection() override { m_platform.CloseConnection(); }

 private:
  InternetPlatform& m_platform;
  ExchangeTimer& m_timer;
};

}  // namespace stagewell::net
