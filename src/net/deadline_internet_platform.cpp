#include "net/deadline_internet_platform.h"

namespace stagewell::net {

bool DeadlineInternetPlatform::Connect(const std::string& host, uint16_t port) {
  m_timer.Start();
  return !m_timer.Expired() && m_platform.Connect(host, port);
}

bool DeadlineInternetPlatform::OpenRequest(const std::string& object) {
  return !m_timer.Expired() && m_platform.OpenRequest(object);
}

bool DeadlineInternetPlatform::AddRequestHeaders(const std::string& headers) {
  return !m_timer.Expired() && m_platform.AddRequestHeaders(headers);
}

bool DeadlineInternetPlatform::SendRequest() { return !m_timer.Expired() && m_platform.SendRequest(); }

bool DeadlineInternetPlatform::QueryStatusCode(uint32_t& status) {
  return !m_timer.Expired() && m_platform.QueryStatusCode(status);
}

bool DeadlineInternetPlatform::AskForCredentials() {
  if (m_timer.Expired()) return false;
  m_timer.Pause();
  const bool retry = m_platform.AskForCredentials();
  m_timer.Resume();
  return retry;
}

bool DeadlineInternetPlatform::ReadBody(char* buffer, size_t size, size_t& read) {
  read = 0;
  return !m_timer.Expired() && m_platform.ReadBody(buffer, size, read);
}

}  // namespace stagewell::net
