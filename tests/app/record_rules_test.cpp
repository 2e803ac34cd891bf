#include "app/record_rules.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace stagewell::app {
namespace {

TEST(ParentFolder, CutsProjectToTheFolderAboveIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Prog\\Ldg\\", "C:\\Prog"},
      {"C:\\Prog\\Ldg", "C:\\Prog"},
      {"Ldg", ""},
      {"", ""},
      {"L", ""},
      {"\\", ""},
      {"C:\\", ""},
      {"C:\\A", "C:"},
      {"\\\\srv\\share\\Ldg", "\\\\srv\\share"},
  };
  for (const auto& [project, folder] : cases) EXPECT_EQ(ParentFolder(project), folder) << "Project «" << project << "»";
}

TEST(SubstituteLocalHost, ReplacesALocalHostPrefixByTheComputerName) {
  const std::pair<const char*, const char*> cases[] = {
      {".\\SQLEXPRESS", "STATION1\\SQLEXPRESS"},
      {"LocalHost,1433", "STATION1,1433"},
      {"LOCALHOST", "STATION1"},
      {"127.0.0.1\\X", "STATION1\\X"},
      {"127.0.0.10\\X", "STATION10\\X"},
      {"127.0.0.2", "127.0.0.2"},
      {"SERVER\\SQL", "SERVER\\SQL"},
      {".", "STATION1"},
      {"local", "local"},
      {"x.\\SQL", "x.\\SQL"},
  };
  testing::FakeComputerName computer;
  for (const auto& [value, expected] : cases) EXPECT_EQ(SubstituteLocalHost(value, computer), expected) << value;
}

TEST(SubstituteLocalHost, KeepsTheValueWhenTheComputerNameIsUnknown) {
  testing::FakeComputerName computer;
  computer.available = false;
  EXPECT_EQ(SubstituteLocalHost(".\\SQLEXPRESS", computer), ".\\SQLEXPRESS");
}

TEST(SubstituteLocalHost, AppliesTheRulesOneAfterAnother) {
  // A computer name that itself starts like a later rule is replaced again.
  testing::FakeComputerName computer;
  computer.name = "127.0.0.1";
  EXPECT_EQ(SubstituteLocalHost(".\\SQL", computer), "127.0.0.1\\SQL");
  computer.name = "localhostPC";
  EXPECT_EQ(SubstituteLocalHost(".\\SQL", computer), "localhostPCPC\\SQL");
}

TEST(FormatDate, UsesZeroPaddedIsoLikeForm) {
  EXPECT_EQ(FormatDate({2026, 12, 7, 8, 5, 9}), "2026-12-07 08:05:09");
  EXPECT_EQ(FormatDate({2027, 1, 31, 23, 59, 0}), "2027-01-31 23:59:00");
}

TEST(BuildVersionText, LeavesOutAnEmptyServicePack) {
  EXPECT_EQ(BuildVersionText({"2015a", "SP1", "123"}), "2015a SP1 123");
  EXPECT_EQ(BuildVersionText({"2015a", "  ", "1234"}), "2015a 1234");
  EXPECT_EQ(BuildVersionText({"  ", "  ", "  "}), "     ");
}

TEST(EditionTooOld, ComparesBytewiseWith2015a) {
  const std::pair<const char*, bool> cases[] = {
      {"2014b", true},  {"2015", true},   {"  ", true},    {"2015A", true},
      {"2015a", false}, {"2015b", false}, {"2016", false}, {"\xE0", false},  // a Hebrew letter sorts after digits
  };
  for (const auto& [edition, old] : cases) EXPECT_EQ(EditionTooOld(edition), old) << "edition «" << edition << "»";
}

}  // namespace
}  // namespace stagewell::app
