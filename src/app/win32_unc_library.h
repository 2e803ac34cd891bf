// The maker's path-conversion library on Win32, loaded by full path from the
// folder it is asked for.
#pragma once

#include "app/unc_path_converter.h"

namespace stagewell::app {

class Win32UncPlatform : public UncPlatform {
 public:
  bool GetPlatformId(uint32_t& platformId) override;
  std::unique_ptr<UncLibrary> Load(const UncLibraryFolder& folder, const char* libraryName, bool wide) override;
};

}  // namespace stagewell::app
