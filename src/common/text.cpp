#include "common/text.h"

#include <cstdio>

namespace stagewell {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  std::string result;
  result.reserve(text.size());
  std::string::size_type start = 0;
  for (auto hit = text.find(from); hit != std::string::npos; hit = text.find(from, start)) {
    result.append(text, start, hit - start);
    result += to;
    start = hit + from.size();
  }
  result.append(text, start);
  text.swap(result);
}

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string TrimSpace(const std::string& text) {
  std::string::size_type begin = 0;
  std::string::size_type end = text.size();
  while (begin < end && IsAsciiSpace(text[begin])) ++begin;
  while (end > begin && IsAsciiSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string Hex2(uint32_t value) {
  char digits[12];
  std::snprintf(digits, sizeof digits, "%.2X", static_cast<unsigned>(value));
  return digits;
}

static char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::string::size_type i = 0; i < prefix.size(); ++i)
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  return true;
}

}  // namespace stagewell
