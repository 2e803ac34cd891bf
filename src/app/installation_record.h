// The installation record and its reading: the one registry read operation,
// the Version record split into its three fields, and the subscriber number.
#pragma once

#include <string>

#include "app/registry_store.h"

namespace stagewell::app {

// The checked installation record, as it is sent (ANSI bytes).
struct InstallationRecord {
  std::string customer;
  std::string repDirectory;
  std::string docDirectory;
  std::string databaseInfo;
  std::string id;
  std::string kupa;
  std::string date;
  std::string version;
};

// Root names; a read maps them by identity, so only these objects are accepted.
extern const char* const kHkeyClassesRoot;
extern const char* const kHkeyCurrentUser;
extern const char* const kHkeyLocalMachine;

extern const char* const kProductKey;      // SOFTWARE\...\<product>
extern const char* const kDirectoriesKey;  // the product key's "Directories" subkey
extern const char* const kProductName;

constexpr uint32_t kValueBufferSize = 260;

// On success `value` receives the bytes read up to the first NUL; on failure it
// is left untouched.
bool ReadRegistryValue(RegistryStore& store, const char* rootName, const std::string& subKey,
                       const std::string& valueName, std::string& value);

struct VersionFields {
  std::string edition;
  std::string servicePack;
  std::string build;
};
// "  " (two spaces) stands for a field of which nothing was read.
extern const char* const kNoField;

VersionFields ReadVersionRecord(RegistryStore& store, const std::string& productName, const std::string& valueName);
VersionFields SplitVersionRecord(const std::string& record);

std::string ReadCustomer(RegistryStore& store);

}  // namespace stagewell::app
