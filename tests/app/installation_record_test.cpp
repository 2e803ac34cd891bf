#include "app/installation_record.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes.h"

namespace stagewell::app {
namespace {

using testing::FakeRegistry;

// A store that reports more bytes than the buffer holds, or whatever it likes.
class LyingRegistry : public RegistryStore {
 public:
  bool QueryValue(RootKey, const std::string&, const std::string&, unsigned char* buffer, uint32_t& size) override {
    std::fill(buffer, buffer + size, static_cast<unsigned char>('x'));
    size = reportedSize;
    return true;
  }
  uint32_t reportedSize = 0;
};

struct ReadCase {
  const char* name;
  std::string stored;  // raw bytes as the registry holds them
  bool ok;
  std::string expected;
};

TEST(ReadRegistryValue, TakesBytesUpToFirstNulWithinWhatWasReturned) {
  const ReadCase cases[] = {
      {"string with its NUL", std::string("C:\\Data\0", 8), true, "C:\\Data"},
      {"no terminating NUL", "C:\\Data", true, "C:\\Data"},
      {"DWORD 0x31 as bytes", std::string("1\0\0\0", 4), true, "1"},
      {"DWORD 0x00003231", std::string("12\0\0", 4), true, "12"},
      {"empty value", std::string(), true, ""},
      {"260 bytes with NUL", std::string(259, 'a') + '\0', true, std::string(259, 'a')},
      {"260 bytes without NUL", std::string(260, 'b'), true, std::string(260, 'b')},
      {"261 bytes", std::string(260, 'c') + '\0', false, "untouched"},
      {"Windows-1255 bytes", "\xE3\xE5\xE7\xE5\xFA", true, "\xE3\xE5\xE7\xE5\xFA"},
  };
  for (const auto& c : cases) {
    FakeRegistry registry;
    registry.Set("K", "V", c.stored);
    std::string value = "untouched";
    EXPECT_EQ(ReadRegistryValue(registry, kHkeyLocalMachine, "K", "V", value), c.ok) << c.name;
    EXPECT_EQ(value, c.expected) << c.name;
  }
}

TEST(ReadRegistryValue, NeverReadsPastTheBufferWhateverTheStoreReports) {
  LyingRegistry registry;
  registry.reportedSize = 100000;
  std::string value;
  ASSERT_TRUE(ReadRegistryValue(registry, kHkeyLocalMachine, "K", "V", value));
  EXPECT_EQ(value, std::string(kValueBufferSize, 'x'));
}

TEST(ReadRegistryValue, AcceptsOnlyTheProgramsOwnRootNameObjects) {
  FakeRegistry registry;
  registry.Set("K", "V", "value");
  std::string sameText = "HKEY_LOCAL_MACHINE";
  std::string value = "untouched";
  EXPECT_FALSE(ReadRegistryValue(registry, sameText.c_str(), "K", "V", value));
  EXPECT_EQ(value, "untouched");
  EXPECT_TRUE(registry.queries.empty()) << "nothing may be opened for a foreign root name";
  EXPECT_TRUE(ReadRegistryValue(registry, kHkeyLocalMachine, "K", "V", value));
  EXPECT_EQ(value, "value");
}

struct VersionCase {
  const char* record;
  const char* edition;
  const char* servicePack;
  const char* build;
};

TEST(SplitVersionRecord, SplitsEditionServicePackAndBuild) {
  const VersionCase cases[] = {
      {"2015a SP1 123", "2015a", "SP1", "123"},
      {"2015a 1234", "2015a", "  ", "1234"},
      {"2015a", "2015a", "  ", "  "},
      {"2015a SP2", "2015a", "SP2", "  "},
      {"2015a  99", "2015a", "  ", "  "},        // doubled space: the build is overwritten
      {"2015a SP1 12345", "  ", "  ", "  "},     // 15 bytes: not split
      {"2016 SP2 123456", "  ", "  ", "  "},     // 15 bytes
      {"2015 SP2 1234", "2015", "SP2", "1234"},  // 13 bytes: split
      {"2015a SP1 1234", "  ", "  ", "  "},      // 14 bytes: not split
      {"", "  ", "  ", "  "},
      {"a b c d", "a", "  ", "b"},   // no "SP": the build takes the second field
      {"a SP b c", "a", "SP", "b"},  // bytes after a third space are dropped
  };
  for (const auto& c : cases) {
    VersionFields fields = SplitVersionRecord(c.record);
    EXPECT_EQ(fields.edition, c.edition) << "record «" << c.record << "»";
    EXPECT_EQ(fields.servicePack, c.servicePack) << "record «" << c.record << "»";
    EXPECT_EQ(fields.build, c.build) << "record «" << c.record << "»";
  }
}

TEST(ReadVersionRecord, MissingRecordGivesThreeEmptyFields) {
  FakeRegistry registry;
  VersionFields fields = ReadVersionRecord(registry, "Ledgora", "Version");
  EXPECT_EQ(fields.edition, "  ");
  EXPECT_EQ(fields.servicePack, "  ");
  EXPECT_EQ(fields.build, "  ");
  registry.Set("SOFTWARE\\Quorvane\\Ledgora", "Version", "2016 SP2 77");
  EXPECT_EQ(ReadVersionRecord(registry, "Ledgora", "Version").servicePack, "SP2");
}

}  // namespace
}  // namespace stagewell::app
