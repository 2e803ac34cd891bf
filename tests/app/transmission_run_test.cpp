#include "app/transmission_run.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/installation_record.h"
#include "fakes.h"

namespace stagewell::app {
namespace {

using namespace testing;

const char kDirectories[] = "SOFTWARE\\Quorvane\\Ledgora\\Directories";
const char kProduct[] = "SOFTWARE\\Quorvane\\Ledgora";

class RecordingTransmitter : public RecordTransmitter {
 public:
  explicit RecordingTransmitter(Journal& journal) : m_journal(journal) {}
  const BoxMessage& Transmit(const InstallationRecord& record) override {
    sent.push_back(record);
    m_journal.events.push_back("transmit");
    return *outcome;
  }
  std::vector<InstallationRecord> sent;
  const BoxMessage* outcome = &kAccepted;

 private:
  Journal& m_journal;
};

// A complete installation that passes every check.
struct RunFixture {
  RunFixture() {
    registry.Set(kProduct, "Project", "C:\\Ledgora\\Prog");
    files.present.insert("C:\\Ledgora\\Ldg.exe");
    registry.Set(kProduct, "Customer", "123456");
    registry.Set(kProduct, "Terminal", "0");
    registry.Set(kProduct, "RepDirectory", "C:\\Ledgora\\Reports");
    registry.Set(kDirectories, "LEDGDOCDIR", "C:\\Ledgora\\Docs");
    registry.Set(kProduct, "DatabaseInfo", ".\\SQLEXPRESS");
    registry.Set(kProduct, "ID", "778899");
    registry.Set(kProduct, "Kupa", "3");
    registry.Set(kProduct, "Version", "2016 SP2 77");
  }

  const BoxMessage* Run() {
    RunServices services{registry, files, computer, clock, unc, wait, boxes, transmitter};
    return RunTransmission(services);
  }

  FakeRegistry registry;
  FakeFiles files;
  FakeComputerName computer;
  FakeClock clock;
  FakeUncPlatform unc;
  Journal journal;
  FakeWaitWindow wait{journal};
  FakeBoxes boxes{journal, wait};
  RecordingTransmitter transmitter{journal};
};

struct RefusalCase {
  const char* name;
  std::function<void(RunFixture&)> change;
  const BoxMessage* box;
  bool waitOpenAtBox;
};

TEST(TransmissionRun, EachFaultyRecordEndsWithItsOwnBox) {
  const RefusalCase cases[] = {
      {"no Project", [](RunFixture& f) { f.registry.Remove(kProduct, "Project"); }, &kWrongLaunch, true},
      {"no Ldg.exe beside Project", [](RunFixture& f) { f.files.present = {"C:\\Ledgora\\Prog\\Ldg.exe"}; },
       &kWrongLaunch, true},
      {"no Customer", [](RunFixture& f) { f.registry.Remove(kProduct, "Customer"); }, &kCustomerMissing, false},
      {"empty Customer", [](RunFixture& f) { f.registry.Set(kProduct, "Customer", ""); }, &kCustomerMissing, false},
      {"7-byte Customer", [](RunFixture& f) { f.registry.Set(kProduct, "Customer", "1234567"); }, &kCustomerCorrupted,
       false},
      {"Terminal 1", [](RunFixture& f) { f.registry.Set(kProduct, "Terminal", "1"); }, &kTerminalInstallation, false},
      {"no RepDirectory", [](RunFixture& f) { f.registry.Remove(kProduct, "RepDirectory"); }, &kRepDirectoryMissing,
       false},
      {"empty RepDirectory", [](RunFixture& f) { f.registry.Set(kProduct, "RepDirectory", ""); }, &kRepDirectoryMissing,
       false},
      {"no LEDGDOCDIR", [](RunFixture& f) { f.registry.Remove(kDirectories, "LEDGDOCDIR"); }, &kDocDirectoryMissing,
       false},
      {"empty LEDGDOCDIR", [](RunFixture& f) { f.registry.Set(kDirectories, "LEDGDOCDIR", ""); }, &kDocDirectoryMissing,
       false},
      {"LEDGDOCDIR in the product key only",
       [](RunFixture& f) {
         f.registry.Remove(kDirectories, "LEDGDOCDIR");
         f.registry.Set(kProduct, "LEDGDOCDIR", "C:\\Docs");
       },
       &kDocDirectoryMissing, false},
      {"no DatabaseInfo", [](RunFixture& f) { f.registry.Remove(kProduct, "DatabaseInfo"); }, &kDatabaseInfoMissing,
       false},
      {"empty DatabaseInfo", [](RunFixture& f) { f.registry.Set(kProduct, "DatabaseInfo", ""); }, &kDatabaseInfoMissing,
       false},
      {"no ID", [](RunFixture& f) { f.registry.Remove(kProduct, "ID"); }, &kIdMissing, false},
      {"empty ID", [](RunFixture& f) { f.registry.Set(kProduct, "ID", ""); }, &kIdMissing, false},
      {"edition 2014b", [](RunFixture& f) { f.registry.Set(kProduct, "Version", "2014b 55"); }, &kEditionTooOld, false},
      {"no Version", [](RunFixture& f) { f.registry.Remove(kProduct, "Version"); }, &kEditionTooOld, false},
      {"Version of 14 bytes", [](RunFixture& f) { f.registry.Set(kProduct, "Version", "2015a SP1 1234"); },
       &kEditionTooOld, false},
      // Earlier checks win over later ones.
      {"no Customer and Terminal 1",
       [](RunFixture& f) {
         f.registry.Remove(kProduct, "Customer");
         f.registry.Set(kProduct, "Terminal", "1");
       },
       &kCustomerMissing, false},
  };
  for (const auto& c : cases) {
    RunFixture f;
    c.change(f);
    EXPECT_EQ(f.Run(), c.box) << c.name;
    ASSERT_EQ(f.boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(f.boxes.shown[0], c.box) << c.name << ": shown " << f.boxes.shown[0]->text;
    EXPECT_EQ(f.boxes.waitOpenAtBox[0], c.waitOpenAtBox) << c.name;
    EXPECT_TRUE(f.transmitter.sent.empty()) << c.name << ": a refused record was sent";
  }
}

TEST(TransmissionRun, RefusalBoxesHaveTheirFlags) {
  EXPECT_EQ(kWrongLaunch.flags, 0x181010u);
  EXPECT_EQ(kEditionTooOld.flags, 0x181010u);
  EXPECT_EQ(kAccepted.flags, 0x181040u);
  for (const BoxMessage* box :
       {&kDuplicate, &kFault, &kNoReply, &kCertificateInvalid, &kIdentityUnknown, &kDataTooLong})
    EXPECT_EQ(box->flags, 0x181010u) << box->text;
}

TEST(TransmissionRun, PassingRecordsAreSentAsTheProductWroteThem) {
  struct PassCase {
    const char* name;
    std::function<void(RunFixture&)> change;
    std::function<void(const InstallationRecord&)> check;
  } cases[] = {
      {"sample", [](RunFixture&) {},
       [](const InstallationRecord& r) {
         EXPECT_EQ(r.customer, "123456");
         EXPECT_EQ(r.repDirectory, "C:\\Ledgora\\Reports");
         EXPECT_EQ(r.docDirectory, "C:\\Ledgora\\Docs");
         EXPECT_EQ(r.databaseInfo, "STATION1\\SQLEXPRESS");
         EXPECT_EQ(r.id, "778899");
         EXPECT_EQ(r.kupa, "3");
         EXPECT_EQ(r.date, "2026-12-07 08:05:09");
         EXPECT_EQ(r.version, "2016 SP2 77");
       }},
      {"no Kupa", [](RunFixture& f) { f.registry.Remove(kProduct, "Kupa"); },
       [](const InstallationRecord& r) { EXPECT_EQ(r.kupa, "0"); }},
      {"empty Kupa", [](RunFixture& f) { f.registry.Set(kProduct, "Kupa", ""); },
       [](const InstallationRecord& r) { EXPECT_EQ(r.kupa, "0"); }},
      {"6-byte Customer", [](RunFixture& f) { f.registry.Set(kProduct, "Customer", "654321"); },
       [](const InstallationRecord& r) { EXPECT_EQ(r.customer, "654321"); }},
      {"Terminal 01", [](RunFixture& f) { f.registry.Set(kProduct, "Terminal", "01"); },
       [](const InstallationRecord&) {}},
      {"Terminal \" 1\"", [](RunFixture& f) { f.registry.Set(kProduct, "Terminal", " 1"); },
       [](const InstallationRecord&) {}},
      // Only the whole value "1" marks a terminal installation.
      {"Terminal 10", [](RunFixture& f) { f.registry.Set(kProduct, "Terminal", "10"); },
       [](const InstallationRecord&) {}},
      {"Terminal \"1 \"", [](RunFixture& f) { f.registry.Set(kProduct, "Terminal", "1 "); },
       [](const InstallationRecord&) {}},
      {"no Terminal", [](RunFixture& f) { f.registry.Remove(kProduct, "Terminal"); }, [](const InstallationRecord&) {}},
      {"empty Project",
       [](RunFixture& f) {
         f.registry.Set(kProduct, "Project", "");
         f.files.present = {"\\Ldg.exe"};
       },
       [](const InstallationRecord&) {}},
      {"edition 2015a without service pack", [](RunFixture& f) { f.registry.Set(kProduct, "Version", "2015a 55"); },
       [](const InstallationRecord& r) { EXPECT_EQ(r.version, "2015a 55"); }},
      {"converted reports directory",
       [](RunFixture& f) {
         f.unc.holders = {UncLibraryFolder::kExe};
         f.unc.output = "\\\\SRV\\C\\Ledgora\\Reports";
       },
       [](const InstallationRecord& r) { EXPECT_EQ(r.repDirectory, "\\\\SRV\\C\\Ledgora\\Reports"); }},
      {"conversion gives nothing",
       [](RunFixture& f) {
         f.unc.holders = {UncLibraryFolder::kExe};
         f.unc.output = "";
       },
       [](const InstallationRecord& r) { EXPECT_EQ(r.repDirectory, "C:\\Ledgora\\Reports"); }},
      {"computer name unknown", [](RunFixture& f) { f.computer.available = false; },
       [](const InstallationRecord& r) { EXPECT_EQ(r.databaseInfo, ".\\SQLEXPRESS"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture f;
    c.change(f);
    EXPECT_EQ(f.Run(), &kAccepted);
    ASSERT_EQ(f.transmitter.sent.size(), 1u);
    c.check(f.transmitter.sent[0]);
  }
}

TEST(TransmissionRun, WaitWindowShowsFirstAndClosesBeforeTheOutcomeBox) {
  RunFixture f;
  f.transmitter.outcome = &kNoReply;
  EXPECT_EQ(f.Run(), &kNoReply);
  EXPECT_EQ(f.wait.text, "נא להמתין...");
  const std::vector<std::string> expected = {"wait open", "transmit", "wait closed",
                                             std::string("box ") + kNoReply.title};
  EXPECT_EQ(f.journal.events, expected);
}

// The path library is also looked for where Ldg.exe was found.
TEST(TransmissionRun, LooksForLdgExeInProjectsParentFolderAndTheLibraryThere) {
  struct Case {
    const char* project;
    const char* ldgExe;
    const char* productFolderLooked;  // null: not looked in
  } cases[] = {
      {"C:\\A\\B\\", "C:\\A\\Ldg.exe", "C:\\A\\"},
      {"C:\\A\\B", "C:\\A\\Ldg.exe", "C:\\A\\"},
      {"C:\\Ledgora", "C:\\Ldg.exe", "C:\\"},
      {"\\\\SRV\\Share\\Ledgora\\Prog", "\\\\SRV\\Share\\Ledgora\\Ldg.exe", "\\\\SRV\\Share\\Ledgora\\"},
      // The root of the current drive, or a folder below the current one.
      {"", "\\Ldg.exe", nullptr},
      {"Ledgora\\Prog", "Ledgora\\Ldg.exe", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.project);
    RunFixture f;
    f.registry.Set(kProduct, "Project", c.project);
    f.files.present = {c.ldgExe};
    f.unc.holders = {UncLibraryFolder::kProduct};
    f.unc.output = "\\\\SRV\\C\\Ledgora\\Reports";
    EXPECT_EQ(f.Run(), &kAccepted);
    EXPECT_EQ(f.files.looked_up, std::vector<std::string>{c.ldgExe});
    ASSERT_EQ(f.transmitter.sent.size(), 1u);
    if (c.productFolderLooked) {
      EXPECT_EQ(f.unc.loaded.at(1), std::string("QorUncDllU.dll (wide) product ") + c.productFolderLooked);
      EXPECT_EQ(f.transmitter.sent[0].repDirectory, "\\\\SRV\\C\\Ledgora\\Reports");
    } else {
      EXPECT_EQ(f.unc.loaded.size(), 3u);
      EXPECT_EQ(f.transmitter.sent[0].repDirectory, "C:\\Ledgora\\Reports");
    }
  }
}

}  // namespace
}  // namespace stagewell::app
