#include "app/record_exchange.h"

#include <gtest/gtest.h>

#include <deque>

#include "crypto/sealing.h"

namespace stagewell::app {
namespace {

// Identity sources that give either the fixed substitute identity (version
// unknown) or none at all (IP Helper missing on the NT family).
class FakeIdentityPlatform : public identity::IdentityPlatform,
                             identity::VersionProbe,
                             identity::IpHelperLibrary,
                             identity::WmiQueries,
                             identity::DiskDevices,
                             identity::DiagnosticSink {
 public:
  bool ipHelperMissing = false;
  std::vector<std::string> diagnostics;

  identity::VersionProbe& Version() override { return *this; }
  identity::IpHelperLibrary& IpHelper() override { return *this; }
  identity::WmiQueries& Wmi() override { return *this; }
  identity::DiskDevices& Disks() override { return *this; }
  identity::DiagnosticSink& Diagnostics() override { return *this; }

 private:
  bool GetOsVersion(identity::OsVersion& version) override {
    if (!ipHelperMissing) return false;
    version = {6, 1, 2};
    return true;
  }
  bool Load() override { return !ipHelperMissing; }
  std::optional<uint32_t> GetIfTable(identity::IfTableBuffer&) override { return std::nullopt; }
  std::optional<uint32_t> SizeAdaptersInfo(uint32_t&) override { return std::nullopt; }
  std::optional<uint32_t> ReadAdaptersInfo(uint32_t, std::vector<identity::AdapterRecord>&) override {
    return std::nullopt;
  }
  bool ListNetworkAdapters(std::vector<identity::WmiAdapter>&) override { return false; }
  bool FirstDiskSerial(std::string&) override { return false; }
  identity::DriveQuery QueryStorageDescriptor(int, identity::StorageDescriptorBuffer&) override {
    return identity::DriveQuery::kNotOpened;
  }
  std::optional<uint32_t> QueryMediaIdSerial() override { return std::nullopt; }
  void ShowDiagnostic(const std::string& text) override { diagnostics.push_back(text); }
};

// A server on the other side of the platform: answers with `body`, or not at all.
class FakeInternet : public net::InternetPlatform {
 public:
  bool reachable = true;
  std::string body;
  std::vector<std::string> objects;  // request objects sent
  int closes = 0;

  unsigned UtcMilliseconds() override { return 7; }
  bool SplitUrl(const std::string& url, net::UrlParts& parts) override {
    const std::string scheme = "http://";
    if (url.compare(0, scheme.size(), scheme) != 0) return false;
    auto slash = url.find('/', scheme.size());
    parts.isHttp = true;
    parts.host = url.substr(scheme.size(), slash - scheme.size());
    parts.object = url.substr(slash);
    return true;
  }
  void ShowBadUrl(const std::string&) override {}
  bool Load() override { return true; }
  bool Connect(const std::string&, uint16_t) override { return reachable; }
  bool OpenRequest(const std::string& object) override {
    objects.push_back(object);
    return true;
  }
  bool AddRequestHeaders(const std::string&) override { return true; }
  bool SendRequest() override { return true; }
  bool QueryStatusCode(uint32_t& status) override {
    status = 200;
    return true;
  }
  bool AskForCredentials() override { return false; }
  bool ReadBody(char* buffer, size_t size, size_t& read) override {
    read = std::min(size, body.size() - offset_);
    std::copy_n(body.data() + offset_, read, buffer);
    offset_ += read;
    return true;
  }
  void CloseRequest() override { ++closes; }
  void CloseConnection() override {}

 private:
  size_t offset_ = 0;
};

const char kFallbackIdentity[] = "000D604C25990000";

InstallationRecord SampleRecord() {
  return {"123456", "\\\\SRV\\Reports", "C:\\Docs", "STATION1\\SQL", "778899", "3", "2026-12-07 08:05:09",
          "2016 SP2 77"};
}

std::string SealedReply(const std::string& plain) {
  std::string sealed;
  EXPECT_EQ(crypto::Seal(plain, kFallbackIdentity, sealed), crypto::SealStatus::kSealed);
  return sealed + "\r\n";
}

// The query the server would open from the one request sent.
std::string OpenedQuery(const std::string& object) {
  const std::string start = "QOR_URL=";
  auto begin = object.find(start) + start.size();
  auto end = object.find("&QOR_ENCR=");
  std::string opened;
  crypto::OpenReply(object.substr(begin, end - begin), kFallbackIdentity, opened);
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
    FakeIdentityPlatform identity;
    FakeInternet internet;
    internet.reachable = c.reachable;
    internet.body = c.body;
    RecordExchange exchange(identity, internet, "service.example:8080");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), c.box) << c.name;
    ASSERT_EQ(internet.objects.size(), c.reachable ? 1u : 0u) << c.name;
    EXPECT_GE(internet.closes, 1) << c.name << ": the request must be closed";
  }
}

TEST(RecordExchange, TheRequestCarriesTheFilledQueryAndTheIdentityInPlain) {
  FakeIdentityPlatform identity;
  FakeInternet internet;
  internet.body = SealedReply("0");
  RecordExchange exchange(identity, internet, "service.example:8080");
  exchange.Transmit(SampleRecord());
  ASSERT_EQ(internet.objects.size(), 1u);
  const std::string& object = internet.objects[0];
  EXPECT_EQ(object.rfind("/iqor/NewWA.dll?QOR_URL=", 0), 0u) << object;
  EXPECT_NE(object.find(std::string("&QOR_ENCR=") + kFallbackIdentity + "&Snozel=7"), std::string::npos) << object;
  EXPECT_EQ(OpenedQuery(object),
            "O=18&&STO=StoreUserData&P1=123456&P2=\\\\SRV\\Reports&P3=C:\\Docs&P4=STATION1\\SQL&P5=778899&P6=3"
            "&P7=2026-12-07 08:05:09&P8=2016 SP2 77&RENCR=000D604C25990000");
}

TEST(RecordExchange, RefusesWithoutSendingWhenTheRequestCannotBeSealed) {
  {
    FakeIdentityPlatform identity;
    identity.ipHelperMissing = true;
    FakeInternet internet;
    RecordExchange exchange(identity, internet, "service.example");
    EXPECT_EQ(&exchange.Transmit(SampleRecord()), &kIdentityUnknown);
    EXPECT_EQ(identity.diagnostics.size(), 1u) << "the library box comes first";
    EXPECT_TRUE(internet.objects.empty());
  }
  {
    FakeIdentityPlatform identity;
    FakeInternet internet;
    InstallationRecord record = SampleRecord();
    // Each "~ID" in a value becomes the ID in a later step: the query grows.
    record.repDirectory = "C:\\" + std::string(1500, 'R');
    record.docDirectory = "C:\\" + std::string(1000, '~') + "~ID~ID~ID~ID";
    record.id = std::string(2200, 'I');
    RecordExchange exchange(identity, internet, "service.example");
    EXPECT_EQ(&exchange.Transmit(record), &kDataTooLong);
    EXPECT_TRUE(internet.objects.empty());
  }
}

}  // namespace
}  // namespace stagewell::app
