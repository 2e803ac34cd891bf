// The exchange's platform operations over WinINet.
#pragma once

#include <cstdint>
#include <memory>

#include "net/internet_platform.h"

namespace stagewell::net {

class AbortableInternetPlatform : public InternetPlatform {
 public:
  // From another thread while a call may be blocked: closes every handle, which
  // cancels a blocking call on Windows, and makes every later call fail.
  virtual void Abort() = 0;
};

// The session opens with the first connection. The time-outs are finite so
// that a server that accepts and never answers ends as a failed send.
std::unique_ptr<AbortableInternetPlatform> MakeWin32InternetPlatform(uint32_t connectTimeoutMs,
                                                                     uint32_t receiveTimeoutMs);

}  // namespace stagewell::net
