#include "net/deadline_internet_platform.h"

namespace stagewell::net {

bool DeadlineInternetPlatform::Connect(const std::string& host, uint16_t port) {
  m_timer.Start();
  return !m_timer.Expired() && m_platform.Connect(host, port);
}

bool DeadlineInternetPlatform::OpenRequest(const std::string& object, bool secure) {
  return !m_timer.Expired() && m_platform.OpenRequest(object, secure);
}

bool DeadlineInternetPlatform::AddRequestHeaders(const std::string& headers) {
  return !m_timer.Expired() && m_platform.AddRequestHeaders(headers);
}

SendStatus DeadlineInternetPlatform::SendRequest() {
  return m_timer.Expired() ? SendStatus::kFailed : m_platform.SendRequest();
}

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

ReadStatus DeadlineInternetPlatform::ReadBody(char* buffer, size_t size, size_t& read) {
  read = 0;
  if (m_timer.Expired()) return ReadStatus::kCutOff;
  const ReadStatus status = m_platform.ReadBody(buffer, size, read);
  // A read that failed because the time ran out while it waited was cut off too.
  return status == ReadStatus::kFailed && m_timer.Expired() ? ReadStatus::kCutOff : status;
}

}  // namespace stagewell::net
