// The registry as the installation record reader sees it: raw value bytes.
#pragma once

#include <cstdint>
#include <string>

namespace stagewell::app {

enum class RootKey { kClassesRoot, kCurrentUser, kLocalMachine };

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;
  // Opens `subKey` for query and reads `valueName` into `buffer` (capacity
  // `size` bytes); on success `size` holds the byte count returned. False when
  // the key or the value cannot be read, or the value does not fit.
  virtual bool QueryValue(RootKey root, const std::string& subKey, const std::string& valueName, unsigned char* buffer,
                          uint32_t& size) = 0;
};

}  // namespace stagewell::app
