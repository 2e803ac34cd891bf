// Single-byte text helpers shared by the subsystems. Text is std::string holding
// the ANSI code page's bytes; lengths are byte counts, comparisons byte-wise.
#pragma once

#include <cstdint>
#include <string>

namespace stagewell {

// Replaces every occurrence of `from`, scanning left to right; inserted text is
// not scanned again. An empty `from` changes nothing.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// Space, tab, carriage return, line feed, vertical tab and form feed.
bool IsAsciiSpace(char c);
std::string TrimSpace(const std::string& text);

// Two upper-case hexadecimal digits ("%.2X"); values above 255 give more digits.
std::string Hex2(uint32_t value);

// Whether `text` starts with `prefix`, ignoring the case of ASCII letters.
bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix);

}  // namespace stagewell
