#include "app/record_rules.h"

#include <cstdio>

#include "common/text.h"

namespace stagewell::app {

std::string ParentFolder(const std::string& project) {
  std::string folder = project;
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  long i = static_cast<long>(folder.size()) - 2;
  while (i > 0 && folder[static_cast<size_t>(i)] != '\\') --i;
  return i > 0 ? folder.substr(0, static_cast<size_t>(i)) : std::string();
}

namespace {

const std::string kDot = ".";
const std::string kLoopback = "127.0.0.1";
const std::string kLocalhost = "localhost";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string SubstituteLocalHost(const std::string& databaseInfo, ComputerName& computer) {
  std::string value = databaseInfo;
  const bool local = StartsWith(value, kDot) || StartsWith(value, kLoopback) || StartsWithIgnoreCase(value, kLocalhost);
  if (!local) return value;
  std::string name;
  if (!computer.Get(name)) return value;
  if (StartsWith(value, kDot)) value = name + value.substr(kDot.size());
  if (StartsWith(value, kLoopback)) value = name + value.substr(kLoopback.size());
  if (StartsWithIgnoreCase(value, kLocalhost)) value = name + value.substr(kLocalhost.size());
  return value;
}

std::string FormatDate(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

std::string BuildVersionText(const VersionFields& fields) {
  std::string text = fields.edition + " ";
  if (fields.servicePack != kNoField) text += fields.servicePack + " ";
  return text + fields.build;
}

bool EditionTooOld(const std::string& edition) {
  // Byte order as unsigned chars, as strcmp orders multibyte text.
  return edition.compare("2015a") < 0;
}

}  // namespace stagewell::app
