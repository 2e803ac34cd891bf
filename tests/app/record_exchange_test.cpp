#include "app/record_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/sealing.h"
#include "identity/fake_platform.h"
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

}  // namespace
}  // namespace stagewell::app
