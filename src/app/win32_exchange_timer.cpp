#include "app/win32_exchange_timer.h"

namespace stagewell::app {

Win32ExchangeTimer::Win32ExchangeTimer(uint32_t deadlineMs)
    : m_changed(CreateEventW(nullptr, FALSE, FALSE, nullptr)), m_deadline(deadlineMs) {
  QueryPerformanceFrequency(&m_frequency);
}

template <typename Change>
void Win32ExchangeTimer::Apply(Change change) {
  {
    win32::Locked hold(m_lock);
    change(NowMs());
  }
  if (m_changed) SetEvent(m_changed.get());
}

void Win32ExchangeTimer::Start() {
  Apply([this](uint64_t now) { m_deadline.Start(now); });
}

bool Win32ExchangeTimer::Pause() {
  bool paused = false;
  Apply([this, &paused](uint64_t now) { paused = m_deadline.Pause(now); });
  return paused;
}

void Win32ExchangeTimer::Resume() {
  Apply([this](uint64_t now) { m_deadline.Resume(now); });
}

bool Win32ExchangeTimer::Expired() {
  win32::Locked hold(m_lock);
  return m_deadline.Expired(NowMs());
}

std::optional<uint64_t> Win32ExchangeTimer::Remaining() {
  win32::Locked hold(m_lock);
  return m_deadline.Remaining(NowMs());
}

uint64_t Win32ExchangeTimer::NowMs() const {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
  const uint64_t perSecond = m_frequency.QuadPart > 0 ? static_cast<uint64_t>(m_frequency.QuadPart) : 1;
  // Split so that ticks * 1000 cannot overflow.
  return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

}  // namespace stagewell::app
