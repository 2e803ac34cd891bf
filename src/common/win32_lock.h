// A critical section and its scoped holder: the worker and the interface
// thread share a few fields (std::mutex is missing from the win32 thread model).
#pragma once

#include <windows.h>

namespace stagewell::win32 {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&m_section); }
  ~CriticalSection() { DeleteCriticalSection(&m_section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&m_section); }
  void Leave() { LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

class Locked {
 public:
  explicit Locked(CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~Locked() { m_section.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& m_section;
};

}  // namespace stagewell::win32
