// The run's small platform services on Win32.
#pragma once

#include "app/run_platform.h"

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

}  // namespace stagewell::app
