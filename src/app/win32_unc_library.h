// The maker's path-conversion library on Win32: beside the exe, else in the
// system folder, and nowhere else.
#pragma once

#include "app/unc_path_converter.h"

namespace stagewell::app {

class Win32UncPlatform : public UncPlatform {
 public:
  bool GetPlatformId(uint32_t& platformId) override;
  std::unique_ptr<UncLibrary> Load(const char* libraryName, bool wide) override;
};

}  // namespace stagewell::app
