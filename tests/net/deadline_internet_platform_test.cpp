#include "net/deadline_internet_platform.h"

#include <gtest/gtest.h>

#include "fake_internet_platform.h"
#include "net/exchange_deadline.h"
#include "net/server_request.h"

namespace stagewell::net {
namespace {

using testing::FakeInternetPlatform;

// A manual clock: each scripted call takes the time given for it.
struct ManualTimer : ExchangeTimer {
  explicit ManualTimer(uint64_t budgetMs) : deadline(budgetMs) {}
  void Start() override { deadline.Start(now); }
  bool Pause() override { return deadline.Pause(now); }
  void Resume() override { deadline.Resume(now); }
  bool Expired() override { return deadline.Expired(now); }

  ExchangeDeadline deadline;
  uint64_t now = 0;
};

struct SlowPlatform : FakeInternetPlatform {
  explicit SlowPlatform(ManualTimer& clock) : timer(clock) {}
  bool SplitUrl(const std::string& url, UrlParts& out) override {
    timer.now += splitMs;
    return FakeInternetPlatform::SplitUrl(url, out);
  }
  SendStatus SendRequest() override {
    timer.now += sendMs;
    return FakeInternetPlatform::SendRequest();
  }
  bool AskForCredentials() override {
    timer.now += dialogMs;
    return FakeInternetPlatform::AskForCredentials();
  }
  ReadStatus ReadBody(char* buffer, size_t size, size_t& read) override {
    timer.now += readMs;
    if (!readFails) return FakeInternetPlatform::ReadBody(buffer, size, read);
    ++reads;
    return ReadStatus::kFailed;
  }

  ManualTimer& timer;
  uint64_t splitMs = 0, sendMs = 0, dialogMs = 0, readMs = 0;
  bool readFails = false;  // every read fails, as a receive time-out does
};

std::string Join(const std::vector<std::string>& calls) {
  std::string joined;
  for (const auto& call : calls) joined += (joined.empty() ? "" : " | ") + call;
  return joined;
}

TEST(DeadlineInternetPlatform, ExchangeWithinAndPastTheDeadline) {
  struct Row {
    const char* name;
    void (*script)(SlowPlatform&);
    bool sent;
    std::string calls;
    const char* line;
  };
  const std::string head = "split | connect h:80 | open /o | headers | ";
  const Row rows[] = {
      {"quick exchange", [](SlowPlatform&) {}, true, head + "send | status", "0"},
      {"time before the first connection is not counted", [](SlowPlatform& p) { p.splitMs = 5000; }, true,
       head + "send | status", "0"},
      {"send that outlasts the deadline", [](SlowPlatform& p) { p.sendMs = 1000; }, false, head + "send", ""},
      {"dialog time is not counted",
       [](SlowPlatform& p) {
         p.statuses = {401, 200};
         p.dialogRetries = true;
         p.sendMs = 400;
         p.dialogMs = 60000;
       },
       true, head + "send | status | dialog | send | status", "0"},
      {"proxy dialog time is not counted either",
       [](SlowPlatform& p) {
         p.statuses = {407, 200};
         p.dialogRetries = true;
         p.sendMs = 400;
         p.dialogMs = 60000;
       },
       true, head + "send | status | dialog | send | status", "0"},
      {"no dialog once the deadline has passed",
       [](SlowPlatform& p) {
         p.statuses = {401, 200};
         p.dialogRetries = true;
         p.sendMs = 1000;
       },
       false, head + "send", ""},
  };
  for (const auto& row : rows) {
    ManualTimer timer(1000);
    SlowPlatform platform(timer);
    platform.parts = {UrlScheme::kHttp, "h", 80, "/o"};
    platform.body = "0\n";
    row.script(platform);
    DeadlineInternetPlatform guarded(platform, timer);
    CServerRequest request(guarded);
    std::string line;
    const bool sent = request.Send("h/o") == SendOutcome::kResponse;
    if (sent) {
      EXPECT_TRUE(request.ReadReply(line)) << row.name;
    }
    EXPECT_EQ(sent, row.sent) << row.name;
    EXPECT_EQ(Join(platform.calls), row.calls) << row.name;
    EXPECT_EQ(line, row.line) << row.name;
  }
}

// Part of a line is not the reply: a deadline or a failed read leaves no line at all.
TEST(DeadlineInternetPlatform, ReplyLineCutShortIsNoLine) {
  struct Row {
    const char* name;
    std::string body;
    uint64_t readMs;
    bool readFails;
    bool whole;
    const char* line;
    size_t reads;
  };
  const Row rows[] = {
      {"trickled line cut off", std::string(kMaxReplyLine, 'A'), 300, false, false, "", 4},
      // The read that was waiting when the time ran out failed because of it.
      {"read failing once the time has run out", "0\n", 1500, true, false, "", 1},
      // A stall past the receive time-out, well inside the deadline.
      {"read failing in time", "0\n", 300, true, false, "", 1},
      {"line that ends in time", "0A\n", 300, false, true, "0A", 3},
  };
  for (const auto& row : rows) {
    ManualTimer timer(1000);
    SlowPlatform platform(timer);
    platform.body = row.body;
    platform.maxPiece = 1;
    platform.readMs = row.readMs;
    platform.readFails = row.readFails;
    DeadlineInternetPlatform guarded(platform, timer);
    CServerRequest request(guarded);
    ASSERT_EQ(request.Send("h/o"), SendOutcome::kResponse) << row.name;
    std::string line = "poison";
    EXPECT_EQ(request.ReadReply(line), row.whole) << row.name;
    EXPECT_EQ(line, row.line) << row.name;
    EXPECT_EQ(platform.reads, row.reads) << row.name;
  }
}

// The time runs out inside the stop of the clock itself: no dialog may come
// up beside the no-reply box that the interface thread shows then.
TEST(DeadlineInternetPlatform, NoDialogWhenTheTimeRunsOutAsTheClockStops) {
  struct LateTimer : ManualTimer {
    using ManualTimer::ManualTimer;
    bool Pause() override {
      now += 1000;
      return ManualTimer::Pause();
    }
  } timer(1000);
  SlowPlatform platform(timer);
  platform.parts = {UrlScheme::kHttp, "h", 80, "/o"};
  platform.statuses = {407, 200};
  platform.dialogRetries = true;
  platform.sendMs = 400;
  DeadlineInternetPlatform guarded(platform, timer);
  CServerRequest request(guarded);
  EXPECT_EQ(request.Send("h/o"), SendOutcome::kNoResponse);
  EXPECT_EQ(Join(platform.calls), "split | connect h:80 | open /o | headers | send | status");
}

TEST(DeadlineInternetPlatform, ClosesStillReachThePlatformAfterTheDeadline) {
  ManualTimer timer(1000);
  SlowPlatform platform(timer);
  platform.sendMs = 5000;
  DeadlineInternetPlatform guarded(platform, timer);
  {
    CServerRequest request(guarded);
    EXPECT_EQ(request.Send("h/o"), SendOutcome::kNoResponse);
    platform.calls.clear();
  }
  EXPECT_EQ(Join(platform.calls), "close-request | close-connection");
}

}  // namespace
}  // namespace stagewell::net
