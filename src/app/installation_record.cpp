#include "app/installation_record.h"

#include <algorithm>
#include <cstring>

namespace stagewell::app {

const char* const kHkeyClassesRoot = "HKEY_CLASSES_ROOT";
const char* const kHkeyCurrentUser = "HKEY_CURRENT_USER";
const char* const kHkeyLocalMachine = "HKEY_LOCAL_MACHINE";

const char* const kProductKey = "SOFTWARE\\Quorvane\\Ledgora";
const char* const kDirectoriesKey = "SOFTWARE\\Quorvane\\Ledgora\\Directories";
const char* const kProductName = "Ledgora";
const char* const kNoField = "  ";

namespace {

bool RootFromName(const char* rootName, RootKey& root) {
  if (rootName == kHkeyCurrentUser) {
    root = RootKey::kCurrentUser;
  } else if (rootName == kHkeyLocalMachine) {
    root = RootKey::kLocalMachine;
  } else if (rootName == kHkeyClassesRoot) {
    root = RootKey::kClassesRoot;
  } else {
    return false;
  }
  return true;
}

constexpr std::string::size_type kLongestVersionRecord = 13;

}  // namespace

bool ReadRegistryValue(RegistryStore& store, const char* rootName, const std::string& subKey,
                       const std::string& valueName, std::string& value) {
  RootKey root;
  if (!RootFromName(rootName, root)) return false;
  unsigned char buffer[kValueBufferSize] = {};
  uint32_t size = kValueBufferSize;
  if (!store.QueryValue(root, subKey, valueName, buffer, size)) return false;
  // The count is the store's word; never trust it past the buffer.
  const size_t returned = std::min<size_t>(size, kValueBufferSize);
  const void* nul = std::memchr(buffer, 0, returned);
  const size_t length = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - buffer) : returned;
  value.assign(reinterpret_cast<const char*>(buffer), length);
  return true;
}

VersionFields SplitVersionRecord(const std::string& record) {
  VersionFields fields{kNoField, kNoField, kNoField};
  if (record.size() > kLongestVersionRecord) return fields;

  std::string* byCount[] = {&fields.edition, &fields.servicePack, &fields.build};
  int spaces = 0;
  for (char c : record) {
    if (c == ' ') {
      ++spaces;
    } else if (spaces < 3) {
      *byCount[spaces] += c;
    }
  }
  for (std::string* field : byCount)
    if (field->size() > 2) field->erase(0, 2);

  if (fields.servicePack.find("SP") == std::string::npos) {
    fields.build = fields.servicePack;
    fields.servicePack = kNoField;
  }
  return fields;
}

VersionFields ReadVersionRecord(RegistryStore& store, const std::string& productName, const std::string& valueName) {
  std::string record;
  ReadRegistryValue(store, kHkeyLocalMachine, std::string("SOFTWARE\\Quorvane\\") + productName, valueName, record);
  return SplitVersionRecord(record);
}

std::string ReadCustomer(RegistryStore& store) {
  std::string customer;
  ReadRegistryValue(store, kHkeyLocalMachine, kProductKey, "Customer", customer);
  return customer;
}

}  // namespace stagewell::app
