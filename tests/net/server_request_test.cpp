#include "net/server_request.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_internet_platform.h"

namespace stagewell::net {
namespace {

using testing::FakeInternetPlatform;
using Calls = std::vector<std::string>;

std::string Join(const Calls& calls) {
  std::string text;
  for (const auto& call : calls) text += (text.empty() ? "" : " | ") + call;
  return text;
}

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

TEST(ServerRequestSend, CompletesTheAddressBeforeSplitting) {
  struct Row {
    const char* name;
    std::string url;
    unsigned milliseconds;
    std::string expected;
  };
  const Row rows[] = {
      {"bare host gets the scheme", "h/p?a=1", 5, "http://h/p?a=1&Snozel=5"},
      {"http: kept as it stands", "http://h/p?a=1", 0, "http://h/p?a=1&Snozel=0"},
      {"http: without slashes kept", "http:h/p?a", 7, "http:h/p?a&Snozel=7"},
      {"upper-case scheme is not http:", "HTTP://h/p?a", 999, "http://HTTP://h/p?a&Snozel=999"},
      {"other scheme gets the prefix", "https://h/p?a", 10, "http://https://h/p?a&Snozel=10"},
      {"short text gets the prefix", "htt", 100, "http://htt&Snozel=100"},
      {"empty text", "", 1, "http://&Snozel=1"},
  };
  for (const auto& row : rows) {
    FakeInternetPlatform platform;
    platform.milliseconds = row.milliseconds;
    CServerRequest request(platform);
    EXPECT_EQ(request.Send(row.url), SendOutcome::kResponse) << row.name;
    EXPECT_EQ(platform.splitUrl, row.expected) << row.name;
  }
}

TEST(ServerRequestSend, SecureTransportSpeaksHttpsOnly) {
  struct Row {
    const char* name;
    std::string url;
    UrlScheme split;
    SendOutcome outcome;
    std::string expected;
    std::string calls;
  };
  const std::string sent = "connect h:443 | open secure /o | headers | send | status";
  const Row rows[] = {
      {"bare host gets https", "h/o?a", UrlScheme::kHttps, SendOutcome::kResponse, "https://h/o?a&Snozel=4",
       "split | " + sent},
      {"https: kept as it stands", "https://h/o?a", UrlScheme::kHttps, SendOutcome::kResponse, "https://h/o?a&Snozel=4",
       "split | " + sent},
      // Never a fallback to plain HTTP, whatever the address says.
      {"http: gets the prefix and fails to split as https", "http://h/o", UrlScheme::kHttp, SendOutcome::kNoResponse,
       "https://http://h/o&Snozel=4", "split | bad-url-box"},
      {"a split that comes out plain is refused", "h/o", UrlScheme::kHttp, SendOutcome::kNoResponse,
       "https://h/o&Snozel=4", "split | bad-url-box"},
  };
  for (const auto& row : rows) {
    FakeInternetPlatform platform;
    platform.milliseconds = 4;
    platform.parts = {row.split, "h", 443, "/o"};
    CServerRequest request(platform, Transport::kSecure);
    EXPECT_EQ(request.Send(row.url), row.outcome) << row.name;
    EXPECT_EQ(platform.splitUrl, row.expected) << row.name;
    EXPECT_EQ(Join(platform.calls), row.calls) << row.name;
  }
}

TEST(ServerRequestSend, PlainTransportRefusesASplitThatComesOutSecure) {
  FakeInternetPlatform platform;
  platform.parts = {UrlScheme::kHttps, "h", 443, "/o"};
  CServerRequest request(platform);
  EXPECT_EQ(request.Send("h/o"), SendOutcome::kNoResponse);
  EXPECT_EQ(Join(platform.calls), "split | bad-url-box");
}

TEST(ServerRequestSend, SuccessfulExchangeInOrder) {
  FakeInternetPlatform platform;
  platform.parts = {UrlScheme::kHttp, "127.0.0.1", 8750, "/iqor/NewWA.dll?QOR_URL=0A$FF&Snozel=3"};
  {
    CServerRequest request(platform);
    ASSERT_EQ(request.Send("127.0.0.1:8750/iqor/NewWA.dll?QOR_URL=0A$FF"), SendOutcome::kResponse);
    EXPECT_EQ(Join(platform.calls),
              "split | connect 127.0.0.1:8750 | open /iqor/NewWA.dll?QOR_URL=0A$FF&Snozel=3 | headers | "
              "send | status");
    EXPECT_EQ(platform.headers, "Accept: text/*\r\nUser-Agent: QorRemote\r\n");
    platform.calls.clear();
    request.Close();
    EXPECT_EQ(Join(platform.calls), "close-request | close-connection");
  }
  EXPECT_TRUE(platform.badUrlText.empty());
}

// Every failure is no response; only a URL that cannot be split shows a box.
TEST(ServerRequestSend, OutcomeOfEachStatusAndFailure) {
  constexpr SendOutcome kResponse = SendOutcome::kResponse;
  constexpr SendOutcome kNone = SendOutcome::kNoResponse;
  struct Row {
    const char* name;
    std::function<void(FakeInternetPlatform&)> script;
    SendOutcome sent;
    std::string calls;
  };
  const std::string head = "split | connect h:80 | open /o | headers | ";
  const Row rows[] = {
      {"200", [](auto&) {}, kResponse, head + "send | status"},
      {"404 is a response", [](auto& p) { p.statuses = {404}; }, kResponse, head + "send | status"},
      {"500 is a response", [](auto& p) { p.statuses = {500}; }, kResponse, head + "send | status"},
      {"302 is a response", [](auto& p) { p.statuses = {302}; }, kResponse, head + "send | status"},
      {"401 answered by retry sends once more",
       [](auto& p) {
         p.statuses = {401, 200};
         p.dialogRetries = true;
       },
       kResponse, head + "send | status | dialog | send | status"},
      {"second 401 is a response",
       [](auto& p) {
         p.statuses = {401, 401};
         p.dialogRetries = true;
       },
       kResponse, head + "send | status | dialog | send | status"},
      {"401 cancelled",
       [](auto& p) {
         p.statuses = {401};
         p.dialogRetries = false;
       },
       kNone, head + "send | status | dialog"},
      {"retry fails to send",
       [](auto& p) {
         p.statuses = {401};
         p.dialogRetries = true;
         p.failingSend = 2;
       },
       kNone, head + "send | status | dialog | send"},
      {"library missing: no box, no connection", [](auto& p) { p.loadOk = false; }, kNone, ""},
      {"cannot split", [](auto& p) { p.splitOk = false; }, kNone, "split | bad-url-box"},
      {"not http", [](auto& p) { p.parts.scheme = UrlScheme::kOther; }, kNone, "split | bad-url-box"},
      {"connect fails", [](auto& p) { p.connectOk = false; }, kNone, "split | connect h:80"},
      {"open fails", [](auto& p) { p.openOk = false; }, kNone, "split | connect h:80 | open /o"},
      {"headers fail", [](auto& p) { p.headersOk = false; }, kNone, "split | connect h:80 | open /o | headers"},
      {"send fails (refused, time-out)", [](auto& p) { p.failingSend = 1; }, kNone, head + "send"},
      {"status unreadable", [](auto& p) { p.statusOk = false; }, kNone, head + "send | status"},
      {"status 0: closed before a status line", [](auto& p) { p.statuses = {0}; }, kNone, head + "send | status"},
      {"retry closed before a status line",
       [](auto& p) {
         p.statuses = {401, 0};
         p.dialogRetries = true;
       },
       kNone, head + "send | status | dialog | send | status"},
      // A proxy that wants credentials is asked once; what it refuses never
      // reached the service.
      {"407 answered by retry sends once more",
       [](auto& p) {
         p.statuses = {407, 200};
         p.dialogRetries = true;
       },
       kResponse, head + "send | status | dialog | send | status"},
      {"407 cancelled", [](auto& p) { p.statuses = {407}; }, kNone, head + "send | status | dialog"},
      {"second 407 is no response",
       [](auto& p) {
         p.statuses = {407, 407};
         p.dialogRetries = true;
       },
       kNone, head + "send | status | dialog | send | status"},
      {"407 then 401: each dialog once",
       [](auto& p) {
         p.statuses = {407, 401, 200};
         p.dialogRetries = true;
       },
       kResponse, head + "send | status | dialog | send | status | dialog | send | status"},
      {"401 then 407 after the retry is no response",
       [](auto& p) {
         p.statuses = {401, 407, 407};
         p.dialogRetries = true;
       },
       kNone, head + "send | status | dialog | send | status | dialog | send | status"},
      {"certificate refused: nothing more is tried",
       [](auto& p) {
         p.failingSend = 1;
         p.failure = SendStatus::kCertificateInvalid;
       },
       SendOutcome::kCertificateInvalid, head + "send"},
  };
  for (const auto& row : rows) {
    FakeInternetPlatform platform;
    platform.parts = {UrlScheme::kHttp, "h", 80, "/o"};
    row.script(platform);
    CServerRequest request(platform);
    EXPECT_EQ(request.Send("h/o"), row.sent) << row.name;
    EXPECT_EQ(Join(platform.calls), row.calls) << row.name;
  }
}

TEST(ServerRequestSend, BadUrlBoxShowsTheCompletedAddress) {
  FakeInternetPlatform platform;
  platform.splitOk = false;
  platform.milliseconds = 42;
  CServerRequest request(platform);
  EXPECT_EQ(request.Send("host/iqor/NewWA.dll?QOR_URL=AB"), SendOutcome::kNoResponse);
  EXPECT_EQ(platform.badUrlText, "Bad Url:http://host/iqor/NewWA.dll?QOR_URL=AB&Snozel=42");
}

TEST(ServerRequest, DestructorClosesRequestThenConnection) {
  FakeInternetPlatform platform;
  { CServerRequest request(platform); }
  EXPECT_EQ(Join(platform.calls), "close-request | close-connection");
}

TEST(ServerRequestReadReply, ReadsTheFirstLine) {
  struct Row {
    const char* name;
    std::string body;
    size_t maxPiece;
    std::string expected;
  };
  const std::string long300(300, 'A');
  const std::string exact127(127, 'B');
  const Row rows[] = {
      {"empty body", "", 1000, ""},
      {"line feed removed, carriage return kept", "0A$FF\r\n", 1000, "0A$FF\r"},
      {"no line feed", "0A$FF", 1000, "0A$FF"},
      {"rest of the body discarded", "first\nsecond\n", 1000, "first"},
      {"empty first line", "\nsecond", 1000, ""},
      {"line across several pieces", long300 + "\r\nnext", 1000, long300 + "\r"},
      {"line feed right after a full piece", exact127 + "\nnext", 1000, exact127},
      {"platform hands out one byte at a time", "ab\ncd", 1, "ab"},
      {"Windows-1255 and zero bytes unchanged", std::string("\xE0\xE1\xFA\x00z\n", 6), 1000,
       std::string("\xE0\xE1\xFA\x00z", 5)},
  };
  for (const auto& row : rows) {
    FakeInternetPlatform platform;
    platform.body = row.body;
    platform.maxPiece = row.maxPiece;
    CServerRequest request(platform);
    std::string line = "poison";
    EXPECT_TRUE(request.ReadReply(line)) << row.name;
    EXPECT_EQ(HexOf(line), HexOf(row.expected)) << row.name;
  }
}

TEST(ServerRequestReadReply, ReadsInPiecesOf127) {
  FakeInternetPlatform platform;
  platform.body = std::string(size_t{127} * 3, 'x');
  CServerRequest request(platform);
  std::string line;
  request.ReadReply(line);
  EXPECT_EQ(line.size(), 127u * 3);
  EXPECT_EQ(platform.reads, 4u);  // three full pieces, then the end of the body
}

// A reset or a stall before the line feed leaves a part of the line; its whole
// blocks would open to whatever they say, so a failed read is no line at all.
TEST(ServerRequestReadReply, FailedReadIsNoLine) {
  struct Row {
    const char* name;
    std::string body;
    size_t maxPiece;
  };
  const Row rows[] = {
      {"first read fails", "", 1000},
      {"fails after a short part", "0A$FF", 1000},
      {"fails after full pieces", std::string(300, 'A'), 127},
  };
  for (const auto& row : rows) {
    FakeInternetPlatform platform;
    platform.body = row.body;
    platform.maxPiece = row.maxPiece;
    platform.readFailsAtEnd = true;
    CServerRequest request(platform);
    std::string line = "poison";
    EXPECT_FALSE(request.ReadReply(line)) << row.name;
    EXPECT_EQ(line, "") << row.name;
  }
}

TEST(ServerRequestReadReply, EndlessLineIsBounded) {
  FakeInternetPlatform platform;
  platform.body = std::string(size_t{3} * 1024 * 1024, 'F') + "\n";
  CServerRequest request(platform);
  std::string line;
  request.ReadReply(line);
  EXPECT_EQ(line.size(), kMaxReplyLine);
  // Reading stops at the bound: the rest of the body is never fetched.
  EXPECT_EQ(platform.reads, (kMaxReplyLine + 126) / 127);
}

}  // namespace
}  // namespace stagewell::net
