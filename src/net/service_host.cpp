#include "net/service_host.h"

namespace stagewell::net {
namespace {

constexpr char kSecureScheme[] = "https://";
constexpr unsigned long kHighestPort = 65535;
constexpr size_t kMaxPortDigits = 5;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsNameChar(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-';
}

// The length of the name or bracketed address at the start of `text`; 0 when none.
size_t HostLength(const std::string& text) {
  if (!text.empty() && text[0] == '[') {
    size_t end = 1;
    while (end < text.size() && (IsHex(text[end]) || text[end] == ':' || text[end] == '.')) ++end;
    return end > 1 && end < text.size() && text[end] == ']' ? end + 1 : 0;
  }
  size_t end = 0;
  while (end < text.size() && IsNameChar(text[end])) ++end;
  return end;
}

bool IsPort(const std::string& digits) {
  if (digits.empty() || digits.size() > kMaxPortDigits) return false;
  unsigned long port = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return false;
    port = port * 10 + static_cast<unsigned long>(c - '0');
  }
  return port >= 1 && port <= kHighestPort;
}

}  // namespace

bool ParseServiceHost(const std::string& setting, ServiceHost& service) {
  std::string rest = setting;
  Transport transport = Transport::kPlain;
  if (rest.compare(0, sizeof(kSecureScheme) - 1, kSecureScheme) == 0) {
    transport = Transport::kSecure;
    rest.erase(0, sizeof(kSecureScheme) - 1);
  }
  const size_t hostLength = HostLength(rest);
  if (hostLength == 0) return false;
  if (hostLength < rest.size() && (rest[hostLength] != ':' || !IsPort(rest.substr(hostLength + 1)))) return false;
  service.transport = transport;
  service.host = rest;
  return true;
}

}  // namespace stagewell::net
