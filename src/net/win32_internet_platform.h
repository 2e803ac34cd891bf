// The exchange's platform operations over WinINet.
#pragma once

#include <cstdint>
#include <memory>

#include "net/internet_platform.h"

namespace stagewell::net {

// Opens the internet session at once. The time-outs are finite so that a
// server that accepts and never answers ends as a failed send.
std::unique_ptr<InternetPlatform> MakeWin32InternetPlatform(uint32_t connectTimeoutMs,
                                                           uint32_t receiveTimeoutMs);

}  // namespace stagewell::net
