// The stack protector's guard and failure handler, in place of GCC's libssp.
// libssp seeds its guard through CryptAcquireContextA in a constructor, before
// the run restricts the DLL search: the provider DLL it loads then takes its
// own imports (crypt32, bcrypt) from beside the exe. This guard is seeded from
// kernel32 alone, as Windows' own compilers seed theirs. Compiled without the
// stack protector: these functions run while the guard changes, or after the
// stack is known to be corrupt.

#include <windows.h>

#include <cstdint>

namespace {

// The guard of the functions that run before the seed (the C runtime's
// start-up calls none that are protected).
constexpr uintptr_t kUnseeded = static_cast<uintptr_t>(0x2B992DDFA232ULL);

}  // namespace

extern "C" {

uintptr_t __stack_chk_guard = kUnseeded;  // NOLINT(bugprone-reserved-identifier)

// A protected function found its canary overwritten: nothing of the process
// can be trusted any more, so no box, no unwinding, no handler.
__attribute__((noreturn)) void __stack_chk_fail() {  // NOLINT(bugprone-reserved-identifier)
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_unreachable();
}

// MinGW's _FORTIFY_SOURCE checks end here when a buffer would overflow; the
// same end, through the one function that scripts/check-exes.sh looks for.
// (GNU noreturn, as MinGW declares it when fortifying.)
__attribute__((noreturn)) void __chk_fail() {  // NOLINT(bugprone-reserved-identifier)
  __stack_chk_fail();
}

}  // extern "C"

namespace {

// Before every other constructor (priority 101 is the first for programs).
__attribute__((constructor(101))) void SeedStackGuard() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  uintptr_t seed = now.dwLowDateTime ^ (static_cast<uintptr_t>(now.dwHighDateTime) << 7);
  seed ^= GetCurrentProcessId() ^ (static_cast<uintptr_t>(GetCurrentThreadId()) << 11) ^ GetTickCount();
  seed ^= static_cast<uintptr_t>(counter.QuadPart) ^ (static_cast<uintptr_t>(counter.QuadPart >> 32) << 5);
  seed ^= reinterpret_cast<uintptr_t>(&now);  // the stack's address, which ASLR moves
  __stack_chk_guard = seed != 0 ? seed : kUnseeded;
}

}  // namespace
