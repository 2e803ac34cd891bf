// Watches whether the program's wait window keeps answering: while it exists,
// a thread sends it WM_NULL every ~50 ms and measures the longest stretch in
// which the window answered nothing. Reported as one "responsiveness" event
// each time the wait window goes away, or when the watcher stops.
#pragma once

#include <windows.h>

namespace box_driver {

class WaitWatcher {
 public:
  WaitWatcher();
  ~WaitWatcher();  // stops the thread, reporting what it saw
  WaitWatcher(const WaitWatcher&) = delete;
  WaitWatcher& operator=(const WaitWatcher&) = delete;

  bool Start();
  void Stop();

 private:
  static DWORD WINAPI Main(void* self);
  void Watch();

  HANDLE m_stop = nullptr;
  HANDLE m_thread = nullptr;
};

}  // namespace box_driver
