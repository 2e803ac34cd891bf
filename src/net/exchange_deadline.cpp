#include "net/exchange_deadline.h"

namespace stagewell::net {

void ExchangeDeadline::Start(uint64_t nowMs) {
  if (m_state != State::kNotStarted) return;
  m_state = State::kRunning;
  m_runningSince = nowMs;
}

bool ExchangeDeadline::Pause(uint64_t nowMs) {
  if (Expired(nowMs)) return false;
  if (m_state == State::kRunning) {
    m_spentMs = Spent(nowMs);
    m_state = State::kPaused;
  }
  return true;
}

void ExchangeDeadline::Resume(uint64_t nowMs) {
  if (m_state != State::kPaused) return;
  m_state = State::kRunning;
  m_runningSince = nowMs;
}

std::optional<uint64_t> ExchangeDeadline::Remaining(uint64_t nowMs) const {
  if (m_state != State::kRunning) return std::nullopt;
  const uint64_t spent = Spent(nowMs);
  return spent < m_budgetMs ? m_budgetMs - spent : 0;
}

bool ExchangeDeadline::Expired(uint64_t nowMs) const {
  return m_state != State::kNotStarted && Spent(nowMs) >= m_budgetMs;
}

uint64_t ExchangeDeadline::Spent(uint64_t nowMs) const {
  if (m_state != State::kRunning) return m_spentMs;
  // A clock read out of order counts as no time rather than as years.
  return m_spentMs + (nowMs > m_runningSince ? nowMs - m_runningSince : 0);
}

}  // namespace stagewell::net
