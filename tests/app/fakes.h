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
    m_values[subKey + "|" + name] = bytes;
  }
  void Remove(const std::string& subKey, const std::string& name) { m_values.erase(subKey + "|" + name); }

  bool QueryValue(RootKey root, const std::string& subKey, const std::string& name, unsigned char* buffer,
                  uint32_t& size) override {
    queries.push_back(subKey + "|" + name);
    auto found = m_values.find(subKey + "|" + name);
    if (root != RootKey::kLocalMachine || found == m_values.end()) return false;
    if (found->second.size() > size) return false;
    std::copy(found->second.begin(), found->second.end(), buffer);
    size = static_cast<uint32_t>(found->second.size());
    return true;
  }

  std::vector<std::string> queries;

 private:
  std::map<std::string, std::string> m_values;
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
  FakeUncLibrary(uint16_t result, std::string output) : m_nResult(result), m_strOutput(std::move(output)) {}
  uint16_t Convert(const std::string&, std::string& converted) override {
    converted = m_strOutput;
    return m_nResult;
  }

 private:
  uint16_t m_nResult;
  std::string m_strOutput;
};

// Holds the library in the folders `holders` names. `loaded` lists every
// folder looked in, in order: "exe", "product <path>", "system", "windows".
class FakeUncPlatform : public UncPlatform {
 public:
  bool GetPlatformId(uint32_t& id) override {
    id = platformId;
    return versionKnown;
  }
  std::unique_ptr<UncLibrary> Load(const UncLibraryFolder& folder, const char* name, bool wide) override {
    static const char* const kFolderNames[] = {"exe", "product", "system", "windows"};
    std::string where = kFolderNames[folder.kind];
    if (folder.kind == UncLibraryFolder::kProduct) where += " " + folder.path;
    loaded.push_back(std::string(name) + (wide ? " (wide) " : " (narrow) ") + where);
    if (holders.count(folder.kind) == 0) return nullptr;
    return std::make_unique<FakeUncLibrary>(result, output);
  }
  uint32_t platformId = kPlatformNt;
  bool versionKnown = true;
  std::set<UncLibraryFolder::Kind> holders;
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
  explicit FakeWaitWindow(Journal& journal) : m_journal(journal) {}
  void Open(const char* text) override {
    open = true;
    this->text = text;
    m_journal.events.push_back("wait open");
  }
  void Close() override {
    open = false;
    m_journal.events.push_back("wait closed");
  }
  bool open = false;
  std::string text;

 private:
  Journal& m_journal;
};

class FakeBoxes : public MessageBoxes {
 public:
  FakeBoxes(Journal& journal, FakeWaitWindow& wait) : m_journal(journal), m_wait(wait) {}
  void Show(const BoxMessage& message) override {
    shown.push_back(&message);
    waitOpenAtBox.push_back(m_wait.open);
    m_journal.events.push_back(std::string("box ") + message.title);
  }
  std::vector<const BoxMessage*> shown;
  std::vector<bool> waitOpenAtBox;

 private:
  Journal& m_journal;
  FakeWaitWindow& m_wait;
};

}  // namespace stagewell::app::testing
