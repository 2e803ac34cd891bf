// The identity's platform services on Windows.
#pragma once

#include <memory>

#include "identity/identity_platform.h"

namespace stagewell::identity {

// Owns the IP Helper library once loaded (at most once) and frees it when destroyed.
std::unique_ptr<IdentityPlatform> MakeWin32IdentityPlatform();

}  // namespace stagewell::identity
