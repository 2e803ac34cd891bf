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
  // Checked and stopped in one step: a deadline passing between the two would
  // have the interface thread show the no-reply box beside the dialog.
  if (!m_timer.Pause()) return false;
  const bool retry = m_platform.AskForCredentials();
  m_timer.Resume();
  return retry;
}

ReadStatus DeadlineInternetPlatform::ReadBody(char* buffer, size_t size, size_t& read) {
  read = 0;
  return m_timer.Expired() ? ReadStatus::kFailed : m_platform.ReadBody(buffer, size, read);
}

}  // namespace stagewell::net
