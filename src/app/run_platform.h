// The platform services the transmission run uses besides the registry and
// the path-conversion library.
#pragma once

#include <string>

#include "app/messages.h"

namespace stagewell::app {

class FileLookup {
 public:
  virtual ~FileLookup() = default;
  virtual bool Exists(const std::string& path) = 0;
};

class ComputerName {
 public:
  virtual ~ComputerName() = default;
  // The NetBIOS name (at most 15 bytes); false when the system does not say.
  virtual bool Get(std::string& name) = 0;
};

struct LocalTime {
  int year, month, day, hour, minute, second;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
};

// The modeless "please wait" window, open from the start of the run.
class WaitWindow {
 public:
  virtual ~WaitWindow() = default;
  virtual void Open(const char* text) = 0;
  virtual void Close() = 0;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Blocks until the user dismisses the box.
  virtual void Show(const BoxMessage& message) = 0;
};

}  // namespace stagewell::app
