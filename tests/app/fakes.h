// In-memory stand-ins for the run's platform services.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/registry_store.h"
#include "app/run_platform.h"
#include "app/transmission_run.h"
#include "app/unc_path_converter.h"

namespace stagewell::app::testing {

// Values keyed by "subkey|name" under HKEY_LOCAL_MACHINE, stored as raw bytes.
class FakeRegistry : public RegistryStore {
 public:
  void Set(const std::string& subKey, const std::string& name, const std::string& bytes) {
    values_[subKey + "|" + name] = bytes;
  }
  void Remove(const std::string& subKey, const std::string& name) { values_.erase(subKey + "|" + name); }

  bool QueryValue(RootKey root, const std::string& subKey, const std::string& name, unsigned char* buffer,
                  uint32_t& size) override {
    queries.push_back(subKey + "|" + name);
    auto found = values_.find(subKey + "|" + name);
    if (root != RootKey::kLocalMachine || found == values_.end()) return false;
    if (found->second.size() > size) return false;
    std::copy(found->second.begin(), found->second.end(), buffer);
    size = static_cast<uint32_t>(found->second.size());
    return true;
  }

  std::vector<std::string> queries;

 private:
  std::map<std::string, std::string> values_;
};

class FakeFiles : public FileLookup {
 public:
  bool Exists(const std::string& path) override {
    looked_up.push_back(path);
    return present.count(path) != 0;
  }
  std::set<std::string> present;
  std::vector<std::string> looked_up;
};

class FakeComputerName : public ComputerName {
 public:
  bool Get(std::string& out) override {
    if (!available) return false;
    out = name;
    return true;
  }
  std::string name = "STATION1";
  bool available = true;
};

class FakeClock : public Clock {
 public:
  LocalTime Now() override { return now; }
  LocalTime now{2026, 12, 7, 8, 5, 9};
};

class FakeUncLibrary : public UncLibrary {
 public:
  FakeUncLibrary(uint16_t result, std::string output) : result_(result), output_(std::move(output)) {}
  uint16_t Convert(const std::string&, std::string& converted) override {
    converted = output_;
    return result_;
  }

 private:
  uint16_t result_;
  std::string output_;
};

class FakeUncPlatform : public UncPlatform {
 public:
  bool GetPlatformId(uint32_t& id) override {
    id = platformId;
    return versionKnown;
  }
  std::unique_ptr<UncLibrary> Load(const char* name, bool wide) override {
    loaded.push_back(std::string(name) + (wide ? " (wide)" : " (narrow)"));
    if (!libraryPresent) return nullptr;
    return std::make_unique<FakeUncLibrary>(result, output);
  }
  uint32_t platformId = kPlatformNt;
  bool versionKnown = true;
  bool libraryPresent = false;
  uint16_t result = 1;
  std::string output;
  std::vector<std::string> loaded;
};

// Records the order of window and box events in one journal.
struct Journal {
  std::vector<std::string> events;
};

class FakeWaitWindow : public WaitWindow {
 public:
  explicit FakeWaitWindow(Journal& journal) : journal_(journal) {}
  void Open(const char* text) override {
    open = true;
    this->text = text;
    journal_.events.push_back("wait open");
  }
  void Close() override {
    open = false;
    journal_.events.push_back("wait closed");
  }
  bool open = false;
  std::string text;

 private:
  Journal& journal_;
};

class FakeBoxes : public MessageBoxes {
 public:
  FakeBoxes(Journal& journal, FakeWaitWindow& wait) : journal_(journal), wait_(wait) {}
  void Show(const BoxMessage& message) override {
    shown.push_back(&message);
    waitOpenAtBox.push_back(wait_.open);
    journal_.events.push_back(std::string("box ") + message.title);
  }
  std::vector<const BoxMessage*> shown;
  std::vector<bool> waitOpenAtBox;

 private:
  Journal& journal_;
  FakeWaitWindow& wait_;
};

}  // namespace stagewell::app::testing
