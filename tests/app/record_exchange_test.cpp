#include "app/record_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "crypto/sealing.h"
#include "identity/fake_platform.h"
#include "net/deadline_internet_platform.h"
#include "net/exchange_deadline.h"
#include "net/fake_internet_platform.h"

namespace stagewell::app {
namespace {

using identity::testing::FakePlatform;
using net::testing::FakeInternetPlatform;

// The identity when the version probe fails: the fixed substitute address, no disk part.
const char kFallbackIdentity[] = "000D604C25990000";

// Identity sources that give the fixed substitute identity.
FakePlatform FallbackIdentity() {
  FakePlatform platform;
  platform.versionProbed = false;
  return platform;
}

// A server on the other side of the platform that answers with `body`.
FakeInternetPlatform Server(const std::string& body) {
  FakeInternetPlatform internet;
  internet.milliseconds = 7;
  internet.body = body;
  return internet;
}

size_t CallsStartingWith(const FakeInternetPlatform& internet, const std::string& prefix) {
  return static_cast<size_t>(std::count_if(internet.calls.begin(), internet.calls.end(), [&](const std::string& call) {
    return call.compare(0, prefix.size(), prefix) == 0;
  }));
}

InstallationRecord SampleRecord() {
  InstallationRecord record;
  record.customer = "123456";
  record.repDirectory = "\\\\SRV\\Reports";
  record.docDirectory = "C:\\Docs";
  record.databaseInfo = "STATION1\\SQL";
  record.id = "778899";
  record.kupa = "3";
  record.date = "2026-12-07 08:05:09";
  record.version = "2016 SP2 77";
  return record;
}

std::string SealedReply(const std::string& plain) {
  std::string sealed;
  EXPECT_EQ(crypto::Seal(plain, kFallbackIdentity, sealed), crypto::SealStatus::kSealed);
  return sealed + "\r\n";
}

// The query the server would open from the address of the one request.
std::string OpenedQuery(const std::string& url) {
  const std::string start = "QOR_URL=";
  auto begin = url.find(start) + start.size();
  auto end = url.find("&QOR_ENCR=");
  std::string opened;
  crypto::OpenReply(url.substr(begin, end - begin), kFallbackIdentity, opened);
  return opened;
}

TEST(RecordExchange, SendsTheSealedRecordOnceAndShowsTheReplysOutcome) {
  struct Case {
    const char* name;
    bool reachable;
    std::string body;
    const BoxMessage* box;
  } cases[] = {
      {"accepted", true, SealedReply("0"), &kAccepted},
      {"duplicate", true, SealedReply("-1"), &kDuplicate},
      {"-10 counts as accepted", true, SealedReply("-10"), &kAccepted},
      {"no verdict", true, SealedReply("ERR"), &kFault},
      {"empty body", true, "", &kFault},
      {"server down", false, "", &kNoReply},
  };
  for (const auto& c : cases) {
    FakePlatform identity = FallbackIdentity();
    FakeInternetPlatform internet = Server(c.body);
    internet.connectOk = c.reachable;
    RecordExchange exchange(identity, internet, "service.example:8080");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), c.box) << c.name;
    ASSERT_EQ(CallsStartingWith(internet, "open "), c.reachable ? 1u : 0u) << c.name;
    EXPECT_EQ(CallsStartingWith(internet, "close-request"), 1u) << c.name << ": the request is closed once";
    EXPECT_EQ(internet.calls.back(), "close-connection") << c.name;
  }
}

TEST(RecordExchange, TheRequestCarriesTheFilledQueryAndTheIdentityInPlain) {
  FakePlatform identity = FallbackIdentity();
  FakeInternetPlatform internet = Server(SealedReply("0"));
  RecordExchange exchange(identity, internet, "service.example:8080");
  exchange.Transmit(SampleRecord());
  ASSERT_EQ(CallsStartingWith(internet, "open "), 1u);
  const std::string& url = internet.splitUrl;
  EXPECT_EQ(url.rfind("http://service.example:8080/iqor/NewWA.dll?QOR_URL=", 0), 0u) << url;
  EXPECT_NE(url.find(std::string("&QOR_ENCR=") + kFallbackIdentity + "&Snozel=7"), std::string::npos) << url;
  EXPECT_EQ(OpenedQuery(url),
            "O=18&&STO=StoreUserData&P1=123456&P2=\\\\SRV\\Reports&P3=C:\\Docs&P4=STATION1\\SQL&P5=778899&P6=3"
            "&P7=2026-12-07 08:05:09&P8=2016 SP2 77&RENCR=000D604C25990000");
}

TEST(RecordExchange, RefusesWithoutSendingWhenTheRequestCannotBeSealed) {
  {
    // IP Helper missing on the NT family: no identity at all.
    FakePlatform identity;
    identity.version = {6, 1, 2};
    identity.loadSucceeds = false;
    FakeInternetPlatform internet = Server("");
    RecordExchange exchange(identity, internet, "service.example");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), &kIdentityUnknown);
    EXPECT_EQ(identity.diagnostics.size(), 1u) << "the library box comes first";
    EXPECT_TRUE(internet.calls.empty());
  }
  {
    FakePlatform identity = FallbackIdentity();
    FakeInternetPlatform internet = Server("");
    InstallationRecord record = SampleRecord();
    // Each "~ID" in a value becomes the ID in a later step: the query grows.
    record.repDirectory = "C:\\" + std::string(1500, 'R');
    record.docDirectory = "C:\\" + std::string(1000, '~') + "~ID~ID~ID~ID";
    record.id = std::string(2200, 'I');
    RecordExchange exchange(identity, internet, "service.example");
    EXPECT_EQ(&exchange.Transmit(record), &kDataTooLong);
    EXPECT_TRUE(internet.calls.empty());
  }
}

TEST(RecordExchange, TheServiceSettingChoosesTheTransport) {
  struct Case {
    const char* name;
    const char* setting;
    bool sent;
    std::string url;
    const char* open;
  } cases[] = {
      {"plain", "service.example:8080", true, "http://service.example:8080/iqor/NewWA.dll?QOR_URL=", "open /o"},
      {"https", "https://service.example", true, "https://service.example/iqor/NewWA.dll?QOR_URL=", "open secure /o"},
      {"https with a port", "https://127.0.0.1:8443", true,
       "https://127.0.0.1:8443/iqor/NewWA.dll?QOR_URL=", "open secure /o"},
      {"malformed: nothing is sent", "ftp://service.example", false, "", ""},
  };
  for (const auto& c : cases) {
    FakePlatform identity = FallbackIdentity();
    FakeInternetPlatform internet = Server(SealedReply("0"));
    const bool secure = std::string(c.setting).rfind("https://", 0) == 0;
    internet.parts = {secure ? net::UrlScheme::kHttps : net::UrlScheme::kHttp, "h", 443, "/o"};
    RecordExchange exchange(identity, internet, c.setting);
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), c.sent ? &kAccepted : &kNoReply) << c.name;
    EXPECT_EQ(internet.splitUrl.rfind(c.url, 0), 0u) << c.name << ": " << internet.splitUrl;
    EXPECT_EQ(CallsStartingWith(internet, c.open), c.sent ? 1u : 0u) << c.name;
    if (!c.sent) {
      EXPECT_TRUE(internet.calls.empty()) << c.name;
    }
  }
}

TEST(RecordExchange, OutcomesThatNeverReachedTheService) {
  struct Case {
    const char* name;
    void (*script)(FakeInternetPlatform&);
    const BoxMessage* box;
  } cases[] = {
      {"certificate refused",
       [](FakeInternetPlatform& p) {
         p.failingSend = 1;
         p.failure = net::SendStatus::kCertificateInvalid;
       },
       &kCertificateInvalid},
      // The proxy's own page is not the service's answer: never the fault box.
      {"407 with the dialog cancelled", [](FakeInternetPlatform& p) { p.statuses = {407}; }, &kNoReply},
      {"407 twice",
       [](FakeInternetPlatform& p) {
         p.statuses = {407, 407};
         p.dialogRetries = true;
       },
       &kNoReply},
      {"407 answered",
       [](FakeInternetPlatform& p) {
         p.statuses = {407, 200};
         p.dialogRetries = true;
       },
       &kAccepted},
  };
  for (const auto& c : cases) {
    FakePlatform identity = FallbackIdentity();
    FakeInternetPlatform internet = Server(SealedReply("0"));
    internet.parts.scheme = net::UrlScheme::kHttps;
    c.script(internet);
    RecordExchange exchange(identity, internet, "https://service.example");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), c.box) << c.name;
    EXPECT_EQ(CallsStartingWith(internet, "close-request"), 1u) << c.name;
  }
  EXPECT_EQ(kCertificateInvalid.flags, kNoReply.flags);
  EXPECT_STREQ(kCertificateInvalid.title, kNoReply.title);
}

// A clock that moves only when a scripted call says so.
struct ManualTimer : net::ExchangeTimer {
  explicit ManualTimer(uint64_t budgetMs) : deadline(budgetMs) {}
  void Start() override { deadline.Start(now); }
  bool Pause() override { return deadline.Pause(now); }
  void Resume() override { deadline.Resume(now); }
  bool Expired() override { return deadline.Expired(now); }
  net::ExchangeDeadline deadline;
  uint64_t now = 0;
};

// A server that sends the reply one byte per read, each read taking readMs on
// the clock of the deadline.
struct TricklingServer : FakeInternetPlatform {
  explicit TricklingServer(std::function<void(uint64_t)> pass) : passTime(std::move(pass)) { maxPiece = 1; }
  net::ReadStatus ReadBody(char* buffer, size_t size, size_t& read) override {
    passTime(readMs);
    return FakeInternetPlatform::ReadBody(buffer, size, read);
  }
  std::function<void(uint64_t)> passTime;
  uint64_t readMs = 300;
};

// The sealed "0" of a reply cut short could open to anything; the deadline
// must leave no reply at all, never an outcome of the part that came.
TEST(RecordExchange, ReplyCutByTheDeadlineIsNoReplyWithoutAThread) {
  ManualTimer timer(1000);
  for (const std::string& reply : {SealedReply("0"), SealedReply("-1"), std::string("garbage\r\n")}) {
    FakePlatform identity = FallbackIdentity();
    TricklingServer server([&timer](uint64_t ms) { timer.now += ms; });
    server.body = reply;
    net::DeadlineInternetPlatform guarded(server, timer);
    RecordExchange exchange(identity, guarded, "service.example");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), &kNoReply) << reply;
    EXPECT_LT(server.reads, reply.size()) << "the deadline did not cut the reply";
  }
}

// Whole sealed runs of "0" and then a read that fails, at once (a reset) or
// after a stall past the receive time-out but inside the deadline: the part
// would open to "accepted", and the user would be told the master is ready.
TEST(RecordExchange, LineThatDidNotEndIsNoReply) {
  std::string runs;
  for (int run = 0; run < 6; ++run) runs += SealedReply("0").substr(0, SealedReply("0").size() - 2);
  ASSERT_GT(runs.size(), 127u) << "the part must span more than one read piece";
  struct Row {
    const char* name;
    bool readFails;
    uint64_t stallMs;
    const BoxMessage* box;
  };
  const Row rows[] = {
      {"reset before the line feed", true, 0, &kNoReply},
      {"stall past the receive time-out", true, 4000, &kNoReply},
      {"body that ends without a line feed", false, 0, &kAccepted},
  };
  for (const auto& row : rows) {
    struct CutServer : FakeInternetPlatform {
      explicit CutServer(ManualTimer& clock) : timer(clock) {}
      net::ReadStatus ReadBody(char* buffer, size_t size, size_t& read) override {
        const net::ReadStatus status = FakeInternetPlatform::ReadBody(buffer, size, read);
        if (status == net::ReadStatus::kFailed) timer.now += stallMs;
        return status;
      }
      ManualTimer& timer;
      uint64_t stallMs = 0;
    };
    ManualTimer timer(7000);
    FakePlatform identity = FallbackIdentity();
    CutServer server(timer);
    server.body = runs;
    server.maxPiece = 127;
    server.readFailsAtEnd = row.readFails;
    server.stallMs = row.stallMs;
    net::DeadlineInternetPlatform guarded(server, timer);
    RecordExchange exchange(identity, guarded, "service.example");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), row.box) << row.name;
    EXPECT_FALSE(timer.Expired()) << row.name << ": the deadline must not be what ended it";
  }
}

// A thread-safe clock on the steady clock, as the worker and the waiting
// thread share one.
class SteadyTimer : public net::ExchangeTimer {
 public:
  explicit SteadyTimer(uint64_t budgetMs) : m_deadline(budgetMs) {}
  void Start() override { Apply(&net::ExchangeDeadline::Start); }
  bool Pause() override { return Apply(&net::ExchangeDeadline::Pause); }
  void Resume() override { Apply(&net::ExchangeDeadline::Resume); }
  bool Expired() override {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_deadline.Expired(NowMs());
  }

 private:
  static uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  template <typename Result>
  Result Apply(Result (net::ExchangeDeadline::*change)(uint64_t)) {
    std::lock_guard<std::mutex> hold(m_lock);
    return (m_deadline.*change)(NowMs());
  }
  std::mutex m_lock;
  net::ExchangeDeadline m_deadline;
};

// On a worker thread the exchange itself comes to no reply, so whichever of
// the worker and the waiting thread sees the deadline first, the box is the same.
TEST(RecordExchange, ReplyCutByTheDeadlineIsNoReplyOnAWorkerThread) {
  SteadyTimer timer(200);
  FakePlatform identity = FallbackIdentity();
  TricklingServer server([](uint64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
  server.readMs = 60;
  server.body = SealedReply("0");
  net::DeadlineInternetPlatform guarded(server, timer);
  RecordExchange exchange(identity, guarded, "service.example");
  const BoxMessage* outcome = nullptr;
  std::thread worker([&] { outcome = &exchange.Transmit(SampleRecord()); });
  worker.join();
  EXPECT_EQ(outcome, &kNoReply);
  EXPECT_TRUE(timer.Expired());
  EXPECT_LT(server.reads, server.body.size()) << "the deadline did not cut the reply";
}

}  // namespace
}  // namespace stagewell::app
