#include "net/exchange_deadline.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace stagewell::net {
namespace {

enum class Event { kStart, kPause, kResume };

struct Step {
  Event event;
  uint64_t at;
};

TEST(ExchangeDeadline, TimeLeftAfterEachHistory) {
  struct Row {
    const char* name;
    std::vector<Step> steps;
    uint64_t now;
    std::optional<uint64_t> remaining;
    bool expired;
  };
  constexpr auto kNone = std::nullopt;
  const Row rows[] = {
      {"not started: no bound yet", {}, 5000, kNone, false},
      {"running", {{Event::kStart, 100}}, 400, 700, false},
      {"just before the end", {{Event::kStart, 100}}, 1099, 1, false},
      {"at the end", {{Event::kStart, 100}}, 1100, 0, true},
      {"long past the end", {{Event::kStart, 100}}, 90000, 0, true},
      {"a second start does not restart", {{Event::kStart, 100}, {Event::kStart, 900}}, 1100, 0, true},
      {"paused: no bound while the dialog is up", {{Event::kStart, 0}, {Event::kPause, 300}}, 60000, kNone, false},
      {"dialog time not counted",
       {{Event::kStart, 0}, {Event::kPause, 300}, {Event::kResume, 60000}},
       60500,
       200,
       false},
      {"time after the dialog counts",
       {{Event::kStart, 0}, {Event::kPause, 300}, {Event::kResume, 60000}},
       60700,
       0,
       true},
      {"two dialogs",
       {{Event::kStart, 0},
        {Event::kPause, 200},
        {Event::kResume, 5000},
        {Event::kPause, 5300},
        {Event::kResume, 9000}},
       9100,
       400,
       false},
      {"pause before the start does nothing", {{Event::kPause, 0}, {Event::kStart, 100}}, 600, 500, false},
      {"resume without a pause does nothing", {{Event::kStart, 0}, {Event::kResume, 800}}, 900, 100, false},
      {"clock read out of order counts as no time", {{Event::kStart, 500}}, 400, 1000, false},
  };
  for (const auto& row : rows) {
    ExchangeDeadline deadline(1000);
    for (const auto& step : row.steps) {
      switch (step.event) {
        case Event::kStart:
          deadline.Start(step.at);
          break;
        case Event::kPause:
          deadline.Pause(step.at);
          break;
        case Event::kResume:
          deadline.Resume(step.at);
          break;
      }
    }
    EXPECT_EQ(deadline.Remaining(row.now), row.remaining) << row.name;
    EXPECT_EQ(deadline.Expired(row.now), row.expired) << row.name;
  }
}

TEST(ExchangeDeadline, PauseIsRefusedOnceTheTimeHasRunOut) {
  struct Row {
    const char* name;
    uint64_t pauseAt;
    bool paused;
    std::optional<uint64_t> remainingAfter;  // at 5000
  };
  const Row rows[] = {
      {"in time: the clock stops", 999, true, std::nullopt},
      {"at the end: it runs on, expired", 1000, false, 0},
      {"past the end", 1500, false, 0},
  };
  for (const auto& row : rows) {
    ExchangeDeadline deadline(1000);
    deadline.Start(0);
    EXPECT_EQ(deadline.Pause(row.pauseAt), row.paused) << row.name;
    EXPECT_EQ(deadline.Remaining(5000), row.remainingAfter) << row.name;
    EXPECT_EQ(deadline.Expired(5000), !row.paused) << row.name;
  }
  ExchangeDeadline notStarted(1000);
  EXPECT_TRUE(notStarted.Pause(0)) << "before the start nothing has run out";
}

}  // namespace
}  // namespace stagewell::net
