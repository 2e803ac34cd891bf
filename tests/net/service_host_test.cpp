#include "net/service_host.h"

#include <gtest/gtest.h>

#include <string>

namespace stagewell::net {
namespace {

TEST(ParseServiceHost, AcceptsAHostWithOrWithoutHttps) {
  struct Row {
    const char* setting;
    Transport transport;
    const char* host;
  };
  const Row rows[] = {
      {"127.0.0.1:8750", Transport::kPlain, "127.0.0.1:8750"},
      {"service.example.com", Transport::kPlain, "service.example.com"},
      {"https://service.example.com", Transport::kSecure, "service.example.com"},
      {"https://127.0.0.1:8443", Transport::kSecure, "127.0.0.1:8443"},
      {"https://[::1]:443", Transport::kSecure, "[::1]:443"},
      {"my-host:1", Transport::kPlain, "my-host:1"},
      {"my-host:65535", Transport::kPlain, "my-host:65535"},
  };
  for (const auto& row : rows) {
    ServiceHost service;
    ASSERT_TRUE(ParseServiceHost(row.setting, service)) << row.setting;
    EXPECT_EQ(service.transport, row.transport) << row.setting;
    EXPECT_EQ(service.host, row.host) << row.setting;
  }
}

TEST(ParseServiceHost, RefusesWhatIsNotAHost) {
  const char* const rows[] = {
      "",
      "https://",
      "http://service.example.com",  // plain HTTP is the setting without a scheme
      "HTTPS://service.example.com",
      "ftp://service.example.com",
      "https//service.example.com",
      "https://https://service.example.com",
      "service.example.com/path",
      "service.example.com:",
      "service.example.com:0",
      "service.example.com:65536",
      "service.example.com:080800",
      "service.example.com:80a",
      "user@service.example.com",
      "service.example.com\"",
      "service example.com",
      "[::1",
      "[]:80",
  };
  for (const char* setting : rows) {
    ServiceHost service;
    service.host = "untouched";
    EXPECT_FALSE(ParseServiceHost(setting, service)) << setting;
    EXPECT_EQ(service.host, "untouched") << setting;
  }
}

}  // namespace
}  // namespace stagewell::net
