// The enumeration loop of the WMI queries, with a bound on failing Next calls.
#pragma once

namespace stagewell::identity {

enum class NextResult { kObject, kEnd, kFailure };

// Consecutive failures of Next after which the enumeration ends as if empty.
constexpr int kMaxNextFailures = 3;

// Calls `next` (one enumerator step that also hands on its object) until it
// reports the end, or fails kMaxNextFailures times in a row.
template <typename Next>
void EnumerateObjects(Next&& next) {
  int failures = 0;
  for (;;) {
    switch (next()) {
      case NextResult::kObject:
        failures = 0;
        break;
      case NextResult::kEnd:
        return;
      case NextResult::kFailure:
        if (++failures >= kMaxNextFailures) return;
        break;
    }
  }
}

}  // namespace stagewell::identity
