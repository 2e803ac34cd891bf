#include "wait_watcher.h"

#include <cstdio>
#include <string>

#include "driver_output.h"

namespace box_driver {
namespace {

constexpr DWORD kProbeIntervalMs = 50;
constexpr UINT kProbeTimeoutMs = 2000;

// One wait window's record: the longest time from the start of a probe that
// went unanswered (or of the first of several) to the next answer.
class Stretch {
 public:
  void Probe(HWND window) {
    const double start = ElapsedMs();
    DWORD_PTR ignored = 0;
    const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &ignored) != 0;
    const double end = ElapsedMs();
    ++probes_;
    if (unansweredSince_ < 0) unansweredSince_ = start;
    if (answered) {
      ++answered_;
      Longest(end);
      unansweredSince_ = -1;
    } else {
      lastFailure_ = end;
    }
  }

  // The window went away (or the watch ended) while a probe was unanswered.
  void End() {
    if (unansweredSince_ >= 0) Longest(lastFailure_);
  }

  void Report() const {
    char line[160];
    std::snprintf(line, sizeof line,
                  "{\"event\":\"responsiveness\",\"longest_stall_ms\":%.1f,\"probes\":%d,\"answered\":%d,\"ms\":%.1f}",
                  longest_, probes_, answered_, ElapsedMs());
    Emit(line);
  }

  bool Seen() const { return probes_ > 0; }

 private:
  void Longest(double until) {
    if (until - unansweredSince_ > longest_) longest_ = until - unansweredSince_;
  }

  double longest_ = 0;
  double unansweredSince_ = -1;
  double lastFailure_ = 0;
  int probes_ = 0;
  int answered_ = 0;
};

}  // namespace

WaitWatcher::WaitWatcher() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WaitWatcher::~WaitWatcher() {
  Stop();
  if (stop_) CloseHandle(stop_);
}

bool WaitWatcher::Start() {
  if (!stop_) return false;
  thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
  return thread_ != nullptr;
}

void WaitWatcher::Stop() {
  if (!thread_) return;
  SetEvent(stop_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI WaitWatcher::Main(void* self) {
  static_cast<WaitWatcher*>(self)->Watch();
  return 0;
}

void WaitWatcher::Watch() {
  Stretch stretch;
  HWND watched = nullptr;
  while (WaitForSingleObject(stop_, kProbeIntervalMs) == WAIT_TIMEOUT) {
    HWND wait = WaitWindow(ChildTopLevelWindows());
    if (watched && wait != watched) {
      stretch.End();
      stretch.Report();
      stretch = Stretch();
    }
    watched = wait;
    if (watched) stretch.Probe(watched);
  }
  if (stretch.Seen()) {
    stretch.End();
    stretch.Report();
  }
}

}  // namespace box_driver
