#include "app/unc_path_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "fakes.h"

namespace stagewell::app {
namespace {

using testing::FakeUncPlatform;

const char kProductFolder[] = "C:\\Ledgora\\";

TEST(CUncPathConverter, LooksForTheLibraryOfThePlatformInFourFoldersInOrder) {
  const std::tuple<uint32_t, const char*> cases[] = {
      {kPlatformWindows9x, "QorUncDllA.dll (narrow) "},
      {kPlatformNt, "QorUncDllU.dll (wide) "},
  };
  for (const auto& [platformId, library] : cases) {
    FakeUncPlatform platform;
    platform.platformId = platformId;
    CUncPathConverter converter(platform, kProductFolder);
    const std::string l = library;
    const std::vector<std::string> expected = {l + "exe", l + "product C:\\Ledgora\\", l + "system", l + "windows"};
    EXPECT_EQ(platform.loaded, expected);
  }
  FakeUncPlatform other;
  other.platformId = 3;
  CUncPathConverter converter(other, kProductFolder);
  EXPECT_TRUE(other.loaded.empty());
}

TEST(CUncPathConverter, TakesTheFirstFolderThatHoldsTheLibrary) {
  using F = UncLibraryFolder;
  struct Case {
    const char* name;
    std::set<F::Kind> holders;
    std::vector<std::string> looked;
  } cases[] = {
      {"beside the exe", {F::kExe, F::kProduct, F::kSystem}, {"exe"}},
      {"in the product folder", {F::kProduct, F::kSystem, F::kWindows}, {"exe", "product C:\\Ledgora\\"}},
      {"in the system folder", {F::kSystem, F::kWindows}, {"exe", "product C:\\Ledgora\\", "system"}},
      {"in the Windows folder", {F::kWindows}, {"exe", "product C:\\Ledgora\\", "system", "windows"}},
  };
  for (const auto& c : cases) {
    FakeUncPlatform platform;
    platform.holders = c.holders;
    platform.output = "\\\\SRV\\C\\Reports";
    CUncPathConverter converter(platform, kProductFolder);
    std::vector<std::string> expected;
    for (const std::string& folder : c.looked) expected.push_back("QorUncDllU.dll (wide) " + folder);
    EXPECT_EQ(platform.loaded, expected) << c.name;
    EXPECT_EQ(converter.Convert("C:\\Reports"), "\\\\SRV\\C\\Reports") << c.name;
  }
}

// A product folder that is not absolute would be resolved against the current
// folder, which is never searched.
TEST(CUncPathConverter, LooksInTheProductFolderOnlyByAnAbsolutePath) {
  const std::tuple<const char*, bool> cases[] = {
      {"C:\\Ledgora\\", true},
      {"c:/Ledgora/", true},
      {"C:\\", true},
      {"\\\\SRV\\Share\\Ledgora\\", true},
      {"\\\\?\\C:\\Ledgora\\", true},
      {"", false},
      {"\\", false},
      {"\\Ledgora\\", false},
      {"Ledgora\\", false},
      {"C:Ledgora\\", false},
      {"C:", false},
      {"1:\\Ledgora\\", false},
      {"\\\\\\Ledgora\\", false},
  };
  for (const auto& [folder, looked] : cases) {
    FakeUncPlatform platform;
    platform.holders = {UncLibraryFolder::kProduct};
    CUncPathConverter converter(platform, folder);
    const std::string product = std::string("QorUncDllU.dll (wide) product ") + folder;
    const bool productLooked =
        std::find(platform.loaded.begin(), platform.loaded.end(), product) != platform.loaded.end();
    EXPECT_EQ(productLooked, looked) << '"' << folder << '"';
    EXPECT_EQ(platform.loaded.size(), looked ? 2u : 3u) << '"' << folder << '"';
  }
}

TEST(CUncPathConverter, GivesTheNetworkFormOnlyWhenTheLibrarySaysSo) {
  struct Case {
    const char* name;
    bool versionKnown, libraryPresent;
    uint16_t result;
    const char* expected;
  } cases[] = {
      {"converted", true, true, 1, "\\\\SRV\\C\\Reports"},
      {"library refuses", true, true, 0, ""},
      {"other result", true, true, 2, ""},
      {"no library", true, false, 1, ""},
      {"version unknown", false, true, 1, ""},
  };
  for (const auto& c : cases) {
    FakeUncPlatform platform;
    platform.versionKnown = c.versionKnown;
    if (c.libraryPresent) platform.holders = {UncLibraryFolder::kExe};
    platform.result = c.result;
    platform.output = "\\\\SRV\\C\\Reports";
    CUncPathConverter converter(platform, kProductFolder);
    EXPECT_EQ(converter.Convert("C:\\Reports"), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace stagewell::app
