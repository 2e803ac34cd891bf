// The WMI queries of the identity: the network adapter list and the first
// disk's serial number, through one shared query sequence.
#pragma once

#include "identity/identity_platform.h"

namespace stagewell::identity {

// Process-wide: COM security is set up once, by whichever query comes first.
extern bool g_bComSecurityDone;
bool InitComSecurityOnce();

class Win32Wmi : public WmiQueries {
 public:
  bool ListNetworkAdapters(std::vector<WmiAdapter>& adapters) override;
  bool FirstDiskSerial(std::string& serial) override;
};

}  // namespace stagewell::identity
