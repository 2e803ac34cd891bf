// IP Helper loaded at run time from the system folder (never linked, so the
// program starts where it is missing), its records copied into our plain layouts.
#pragma once

#include "common/win32_handles.h"
#include "identity/identity_platform.h"

namespace stagewell::identity {

class Win32IpHelper : public IpHelperLibrary {
 public:
  bool Load() override;
  std::optional<uint32_t> GetIfTable(IfTableBuffer& buffer) override;
  std::optional<uint32_t> SizeAdaptersInfo(uint32_t& size) override;
  std::optional<uint32_t> ReadAdaptersInfo(uint32_t size, std::vector<AdapterRecord>& adapters) override;

 private:
  win32::UniqueModule m_module;
};

}  // namespace stagewell::identity
