#include "app/unc_path_converter.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace stagewell::app {
namespace {

using testing::FakeUncPlatform;

TEST(CUncPathConverter, LoadsTheLibraryOfThePlatform) {
  const std::tuple<uint32_t, const char*> cases[] = {
      {kPlatformWindows9x, "QorUncDllA.dll (narrow)"},
      {kPlatformNt, "QorUncDllU.dll (wide)"},
  };
  for (const auto& [platformId, expected] : cases) {
    FakeUncPlatform platform;
    platform.platformId = platformId;
    CUncPathConverter converter(platform);
    ASSERT_EQ(platform.loaded.size(), 1u);
    EXPECT_EQ(platform.loaded[0], expected);
  }
  FakeUncPlatform other;
  other.platformId = 3;
  CUncPathConverter converter(other);
  EXPECT_TRUE(other.loaded.empty());
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
    platform.libraryPresent = c.libraryPresent;
    platform.result = c.result;
    platform.output = "\\\\SRV\\C\\Reports";
    CUncPathConverter converter(platform);
    EXPECT_EQ(converter.Convert("C:\\Reports"), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace stagewell::app
