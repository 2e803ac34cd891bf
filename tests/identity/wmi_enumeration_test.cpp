// The bound on failing enumerator steps.
#include <gtest/gtest.h>

#include "identity/wmi_enumeration.h"

namespace stagewell::identity {
namespace {

TEST(EnumerateObjects, EndsAtTheEndOrAfterRepeatedFailures) {
  using R = NextResult;
  struct Row {
    const char* name;
    std::vector<R> script;  // what Next reports; past the end it keeps failing
    size_t calls;
  } rows[] = {
      {"empty", {R::kEnd}, 1},
      {"two objects", {R::kObject, R::kObject, R::kEnd}, 3},
      {"a failure is retried", {R::kFailure, R::kObject, R::kEnd}, 3},
      {"persistent failure ends like an empty enumeration", {}, kMaxNextFailures},
      {"an object resets the count", {R::kFailure, R::kFailure, R::kObject, R::kFailure, R::kFailure, R::kEnd}, 6},
      {"failures after objects", {R::kObject, R::kObject}, 2 + kMaxNextFailures},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    size_t calls = 0;
    EnumerateObjects([&] {
      const R result = calls < row.script.size() ? row.script[calls] : R::kFailure;
      ++calls;
      return result;
    });
    EXPECT_EQ(calls, row.calls);
  }
}

}  // namespace
}  // namespace stagewell::identity
