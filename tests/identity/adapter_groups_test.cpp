// The choice of the WMI adapter whose description ends the identity.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "identity/adapter_groups.h"

namespace stagewell::identity {
namespace {

const char kAddressText[] = "00:0D:60:4C:25:99:";

TEST(ChooseAdapterGroups, PicksTheMatchThenTheLongestThenTheOthers) {
  struct Row {
    const char* name;
    std::string addressText;
    std::vector<std::string> descriptions;
    std::vector<std::string> macTexts;
    int groups;
    const char* expected;
  } rows[] = {
      {"the matching adapter", kAddressText, {"longer one", "abc"}, {"", kAddressText}, 1, "0326"},
      {"no match: the first of the longest", kAddressText, {"ab", "abc", "abd"}, {"", "", ""}, 1, "0326"},
      {"no match, all descriptions empty", kAddressText, {"", ""}, {"", ""}, 1, "0000"},
      {"empty address text: 0000 whatever WMI reports", "", {"abc"}, {""}, 1, "0000"},
      {"no adapters", kAddressText, {}, {}, 1, "0000"},
      {"the comparison is case-sensitive",
       "02:FC:0A:00:00:01:",
       {"abc", "eth0"},
       {"02:fc:0a:00:00:01:", "02:FC:0A:00:00:02:"},
       1,
       "0471"},
      {"the address text is compared whole",
       "00:11:22:33:44:55:66:77:",
       {"abc", "ab"},
       {"00:11:22:33:44:55:", "00:11:22:33:44:55:66:77:"},
       1,
       "02C3"},
      {"the first matching adapter", kAddressText, {"ab", "abc"}, {kAddressText, kAddressText}, 1, "02C3"},
      {"256-byte description gives five characters", kAddressText, {std::string(256, 'a')}, {""}, 1, "10000"},
      {"two groups: match, then the longest other",
       kAddressText,
       {"a", "abcd", "abc"},
       {"", kAddressText, ""},
       2,
       "048A0326"},
      {"two groups, empty address text: 0000, then the longest", "", {"a", "abc"}, {"", ""}, 2, "00000326"},
      {"three groups: the others in order after the longest",
       kAddressText,
       {"a", "abcd", "ab"},
       {"", "", ""},
       3,
       "048A016102C3"},
      {"three groups, one adapter: filled with 0000", kAddressText, {"abc"}, {kAddressText}, 3, "032600000000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ChooseAdapterGroups(row.addressText, row.descriptions, row.macTexts, row.groups), row.expected);
  }
}

TEST(ListWmiAdapters, AddsTheColonAndKeepsNullAddressesEmpty) {
  testing::FakePlatform platform;
  platform.wmiAdapters = {{"eth0", std::string("02:fc:00:00:00:01")}, {"", std::nullopt}};
  std::vector<std::string> descriptions{"kept"};
  std::vector<std::string> macTexts{"kept"};
  ASSERT_TRUE(ListWmiAdapters(platform, descriptions, macTexts));
  EXPECT_EQ(descriptions, (std::vector<std::string>{"kept", "eth0", ""}));
  EXPECT_EQ(macTexts, (std::vector<std::string>{"kept", "02:fc:00:00:00:01:", ""}));

  platform.wmiAdaptersListed = false;
  std::vector<std::string> untouched{"x"};
  EXPECT_FALSE(ListWmiAdapters(platform, untouched, untouched));
  EXPECT_EQ(untouched, std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace stagewell::identity
