// The registry store over RegOpenKeyExA / RegQueryValueExA.
#pragma once

#include "app/registry_store.h"

namespace stagewell::app {

class Win32RegistryStore : public RegistryStore {
 public:
  bool QueryValue(RootKey root, const std::string& subKey, const std::string& valueName, unsigned char* buffer,
                  uint32_t& size) override;
};

}  // namespace stagewell::app
