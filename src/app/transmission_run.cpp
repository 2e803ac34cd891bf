#include "app/transmission_run.h"

#include "app/installation_record.h"
#include "app/record_rules.h"

namespace stagewell::app {
namespace {

constexpr std::string::size_type kLongestCustomer = 6;

class Run {
 public:
  explicit Run(RunServices& services) : m_services(services) {}

  const BoxMessage* Perform() {
    m_services.wait.Open(kWaitText);
    InstallationRecord record;
    if (!Collect(record)) return m_pShown;
    return CloseAndShow(m_services.transmitter.Transmit(record));
  }

 private:
  // Steps of the record; false once a refusal box has been shown.
  bool Collect(InstallationRecord& r) {
    std::string project;
    if (!Read(kProductKey, "Project", project)) return ShowKeepingWait(kWrongLaunch);
    // The product's folder, where the maker's path library may sit too.
    const std::string productFolder = ParentFolder(project) + "\\";
    if (!m_services.files.Exists(productFolder + "Ldg.exe")) return ShowKeepingWait(kWrongLaunch);

    r.customer = ReadCustomer(m_services.registry);
    if (r.customer.empty()) return Refuse(kCustomerMissing);
    if (r.customer.size() > kLongestCustomer) return Refuse(kCustomerCorrupted);

    std::string terminal;
    Read(kProductKey, "Terminal", terminal);
    if (terminal == "1") return Refuse(kTerminalInstallation);

    if (!ReadNonEmpty(kProductKey, "RepDirectory", r.repDirectory)) return Refuse(kRepDirectoryMissing);
    CUncPathConverter converter(m_services.unc, productFolder);
    std::string network = converter.Convert(r.repDirectory);
    if (!network.empty()) r.repDirectory = network;

    if (!ReadNonEmpty(kDirectoriesKey, "LEDGDOCDIR", r.docDirectory)) return Refuse(kDocDirectoryMissing);
    if (!ReadNonEmpty(kProductKey, "DatabaseInfo", r.databaseInfo)) return Refuse(kDatabaseInfoMissing);
    r.databaseInfo = SubstituteLocalHost(r.databaseInfo, m_services.computer);
    if (!ReadNonEmpty(kProductKey, "ID", r.id)) return Refuse(kIdMissing);
    if (!ReadNonEmpty(kProductKey, "Kupa", r.kupa)) r.kupa = "0";

    r.date = FormatDate(m_services.clock.Now());
    VersionFields version = ReadVersionRecord(m_services.registry, kProductName, "Version");
    r.version = BuildVersionText(version);
    if (EditionTooOld(version.edition)) return Refuse(kEditionTooOld);
    return true;
  }

  bool Read(const char* subKey, const char* name, std::string& value) {
    return ReadRegistryValue(m_services.registry, kHkeyLocalMachine, subKey, name, value);
  }
  bool ReadNonEmpty(const char* subKey, const char* name, std::string& value) {
    return Read(subKey, name, value) && !value.empty();
  }

  // The two launch refusals leave the wait window up behind the box.
  bool ShowKeepingWait(const BoxMessage& message) {
    m_services.boxes.Show(message);
    m_pShown = &message;
    return false;
  }
  bool Refuse(const BoxMessage& message) {
    CloseAndShow(message);
    return false;
  }
  const BoxMessage* CloseAndShow(const BoxMessage& message) {
    m_services.wait.Close();
    m_services.boxes.Show(message);
    m_pShown = &message;
    return m_pShown;
  }

  RunServices& m_services;
  const BoxMessage* m_pShown = nullptr;
};

}  // namespace

const BoxMessage* RunTransmission(RunServices& services) { return Run(services).Perform(); }

}  // namespace stagewell::app
