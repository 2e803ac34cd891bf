// The exchange's deadline on the performance counter, shared by the worker
// (which starts and pauses it) and the interface thread (which waits on it).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "common/win32_handles.h"
#include "common/win32_lock.h"
#include "net/deadline_internet_platform.h"
#include "net/exchange_deadline.h"

namespace stagewell::app {

class Win32ExchangeTimer : public net::ExchangeTimer {
 public:
  explicit Win32ExchangeTimer(uint32_t deadlineMs);

  void Start() override;
  bool Pause() override;
  void Resume() override;
  bool Expired() override;

  // Time left; none while the clock does not run.
  std::optional<uint64_t> Remaining();
  // Signalled whenever the clock starts, stops or runs again, so that a
  // waiter takes up the new bound.
  HANDLE Changed() const { return m_changed.get(); }

 private:
  uint64_t NowMs() const;
  template <typename Change>
  void Apply(Change change);

  LARGE_INTEGER m_frequency;
  win32::UniqueHandle m_changed;
  win32::CriticalSection m_lock;
  net::ExchangeDeadline m_deadline;
};

}  // namespace stagewell::app
