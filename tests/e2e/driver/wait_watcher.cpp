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
    ++m_probes;
    if (m_unansweredSince < 0) m_unansweredSince = start;
    if (answered) {
      ++m_answered;
      Longest(end);
      m_unansweredSince = -1;
    } else {
      m_lastFailure = end;
    }
  }

  // The window went away (or the watch ended) while a probe was unanswered.
  void End() {
    if (m_unansweredSince >= 0) Longest(m_lastFailure);
  }

  void Report() const {
    char line[160];
    std::snprintf(line, sizeof line,
                  "{\"event\":\"responsiveness\",\"longest_stall_ms\":%.1f,\"probes\":%d,\"answered\":%d,\"ms\":%.1f}",
                  m_longest, m_probes, m_answered, ElapsedMs());
    Emit(line);
  }

  bool Seen() const { return m_probes > 0; }

 private:
  void Longest(double until) {
    if (until - m_unansweredSince > m_longest) m_longest = until - m_unansweredSince;
  }

  double m_longest = 0;
  double m_unansweredSince = -1;
  double m_lastFailure = 0;
  int m_probes = 0;
  int m_answered = 0;
};

}  // namespace

WaitWatcher::WaitWatcher() : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WaitWatcher::~WaitWatcher() {
  Stop();
  if (m_stop) CloseHandle(m_stop);
}

bool WaitWatcher::Start() {
  if (!m_stop) return false;
  m_thread = CreateThread(nullptr, 0, Main, this, 0, nullptr);
  return m_thread != nullptr;
}

void WaitWatcher::Stop() {
  if (!m_thread) return;
  SetEvent(m_stop);
  WaitForSingleObject(m_thread, INFINITE);
  CloseHandle(m_thread);
  m_thread = nullptr;
}

DWORD WINAPI WaitWatcher::Main(void* self) {
  static_cast<WaitWatcher*>(self)->Watch();
  return 0;
}

void WaitWatcher::Watch() {
  Stretch stretch;
  HWND watched = nullptr;
  while (WaitForSingleObject(m_stop, kProbeIntervalMs) == WAIT_TIMEOUT) {
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
