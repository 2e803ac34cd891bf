// The run's small platform services on Win32.
#pragma once

#include "app/run_platform.h"
#include "app/unc_path_converter.h"

namespace stagewell::app {

class Win32FileLookup : public FileLookup {
 public:
  bool Exists(const std::string& path) override;
};

class Win32ComputerName : public ComputerName {
 public:
  bool Get(std::string& name) override;
};

class Win32Clock : public Clock {
 public:
  LocalTime Now() override;
};

class Win32MessageBoxes : public MessageBoxes {
 public:
  void Show(const BoxMessage& message) override;
};

class Win32UncPlatform : public UncPlatform {
 public:
  bool GetPlatformId(uint32_t& platformId) override;
  std::unique_ptr<UncLibrary> Load(const char* libraryName, bool wide) override;
};

}  // namespace stagewell::app
