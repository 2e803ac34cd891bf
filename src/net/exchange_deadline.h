// The total time one exchange may take, from its first connection attempt to
// the end of its reply line. A receive time-out bounds one wait only: a server
// that trickles a byte at a time restarts it forever. The time the user spends
// in the password dialog is not counted. Times are milliseconds on one
// monotonic clock.
#pragma once

#include <cstdint>
#include <optional>

namespace stagewell::net {

class ExchangeDeadline {
 public:
  explicit ExchangeDeadline(uint64_t budgetMs) : m_budgetMs(budgetMs) {}

  // The first start counts; a later one (the retry after the dialog) does not.
  void Start(uint64_t nowMs);
  // Stops the clock for the password dialog, unless the time has already run
  // out: then it stays as it is and the answer is false, so that the check
  // and the stop are one step for whoever holds the clock's lock.
  bool Pause(uint64_t nowMs);
  void Resume(uint64_t nowMs);

  // Time left at `nowMs`; none while the clock does not run (before the
  // start and during a pause), so a waiter waits without a bound then.
  std::optional<uint64_t> Remaining(uint64_t nowMs) const;
  bool Expired(uint64_t nowMs) const;

 private:
  enum class State { kNotStarted, kRunning, kPaused };

  uint64_t Spent(uint64_t nowMs) const;

  uint64_t m_budgetMs;
  State m_state = State::kNotStarted;
  uint64_t m_spentMs = 0;  // before the current run of the clock
  uint64_t m_runningSince = 0;
};

}  // namespace stagewell::net
