#include "app/transmission_run.h"

#include "app/installation_record.h"
#include "app/record_rules.h"

namespace stagewell::app {
namespace {

constexpr std::string::size_type kLongestCustomer = 6;

class Run {
 public:
  explicit Run(RunServices& services) : s_(services) {}

  const BoxMessage* Perform() {
    s_.wait.Open(kWaitText);
    InstallationRecord record;
    if (!Collect(record)) return shown_;
    return CloseAndShow(s_.transmitter.Transmit(record));
  }

 private:
  // Steps of the record; false once a refusal box has been shown.
  bool Collect(InstallationRecord& r) {
    std::string project;
    if (!Read(kProductKey, "Project", project)) return ShowKeepingWait(kWrongLaunch);
    if (!s_.files.Exists(ParentFolder(project) + "\\Ldg.exe")) return ShowKeepingWait(kWrongLaunch);

    r.customer = ReadCustomer(s_.registry);
    if (r.customer.empty()) return Refuse(kCustomerMissing);
    if (r.customer.size() > kLongestCustomer) return Refuse(kCustomerCorrupted);

    std::string terminal;
    Read(kProductKey, "Terminal", terminal);
    if (terminal == "1") return Refuse(kTerminalInstallation);

    if (!ReadNonEmpty(kProductKey, "RepDirectory", r.repDirectory)) return Refuse(kRepDirectoryMissing);
    CUncPathConverter converter(s_.unc);
    std::string network = converter.Convert(r.repDirectory);
    if (!network.empty()) r.repDirectory = network;

    if (!ReadNonEmpty(kDirectoriesKey, "LEDGDOCDIR", r.docDirectory)) return Refuse(kDocDirectoryMissing);
    if (!ReadNonEmpty(kProductKey, "DatabaseInfo", r.databaseInfo)) return Refuse(kDatabaseInfoMissing);
    r.databaseInfo = SubstituteLocalHost(r.databaseInfo, s_.computer);
    if (!ReadNonEmpty(kProductKey, "ID", r.id)) return Refuse(kIdMissing);
    if (!ReadNonEmpty(kProductKey, "Kupa", r.kupa)) r.kupa = "0";

    r.date = FormatDate(s_.clock.Now());
    VersionFields version = ReadVersionRecord(s_.registry, kProductName, "Version");
    r.version = BuildVersionText(version);
    if (EditionTooOld(version.edition)) return Refuse(kEditionTooOld);
    return true;
  }

  bool Read(const char* subKey, const char* name, std::string& value) {
    return ReadRegistryValue(s_.registry, kHkeyLocalMachine, subKey, name, value);
  }
  bool ReadNonEmpty(const char* subKey, const char* name, std::string& value) {
    return Read(subKey, name, value) && !value.empty();
  }

  // The two launch refusals leave the wait window up behind the box.
  bool ShowKeepingWait(const BoxMessage& message) {
    s_.boxes.Show(message);
    shown_ = &message;
    return false;
  }
  bool Refuse(const BoxMessage& message) {
    CloseAndShow(message);
    return false;
  }
  const BoxMessage* CloseAndShow(const BoxMessage& message) {
    s_.wait.Close();
    s_.boxes.Show(message);
    shown_ = &message;
    return shown_;
  }

  RunServices& s_;
  const BoxMessage* shown_ = nullptr;
};

}  // namespace

const BoxMessage* RunTransmission(RunServices& services) { return Run(services).Perform(); }

}  // namespace stagewell::app
