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
  void Pause() override { deadline.Pause(now); }
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
  bool SendRequest() override {
    timer.now += sendMs;
    return FakeInternetPlatform::SendRequest();
  }
  bool AskForCredentials() override {
    timer.now += dialogMs;
    return FakeInternetPlatform::AskForCredentials();
  }
  bool ReadBody(char* buffer, size_t size, size_t& read) override {
    timer.now += readMs;
    return FakeInternetPlatform::ReadBody(buffer, size, read);
  }

  ManualTimer& timer;
  uint64_t splitMs = 0, sendMs = 0, dialogMs = 0, readMs = 0;
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
    platform.parts = {true, "h", 80, "/o"};
    platform.body = "0\n";
    row.script(platform);
    DeadlineInternetPlatform guarded(platform, timer);
    CServerRequest request(guarded);
    std::string line;
    const bool sent = request.Send("h/o");
    if (sent) request.ReadReply(line);
    EXPECT_EQ(sent, row.sent) << row.name;
    EXPECT_EQ(Join(platform.calls), row.calls) << row.name;
    EXPECT_EQ(line, row.line) << row.name;
  }
}

TEST(DeadlineInternetPlatform, TrickledBodyEndsAtTheDeadline) {
  ManualTimer timer(1000);
  SlowPlatform platform(timer);
  platform.body = std::string(kMaxReplyLine, 'A');
  platform.maxPiece = 1;
  platform.readMs = 300;
  DeadlineInternetPlatform guarded(platform, timer);
  CServerRequest request(guarded);
  ASSERT_TRUE(request.Send("h/o"));
  std::string line;
  request.ReadReply(line);
  EXPECT_EQ(platform.reads, 4u);
  EXPECT_EQ(line, "AAAA");
}

TEST(DeadlineInternetPlatform, ClosesStillReachThePlatformAfterTheDeadline) {
  ManualTimer timer(1000);
  SlowPlatform platform(timer);
  platform.sendMs = 5000;
  DeadlineInternetPlatform guarded(platform, timer);
  {
    CServerRequest request(guarded);
    EXPECT_FALSE(request.Send("h/o"));
    platform.calls.clear();
  }
  EXPECT_EQ(Join(platform.calls), "close-request | close-connection");
}

}  // namespace
}  // namespace stagewell::net
