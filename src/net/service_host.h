// The build's service setting: "host", "host:port", or either after
// "https://". Without a scheme the service is spoken to in plain HTTP; with
// "https://" over TLS, on port 443 unless another is given.
#pragma once

#include <string>

#include "net/server_request.h"

namespace stagewell::net {

struct ServiceHost {
  Transport transport = Transport::kPlain;
  std::string host;  // name or [IPv6 address], with ":port" when one was given
};

// False for anything else: another scheme, a path, user information, an
// empty or out-of-range port, characters a host name cannot hold.
bool ParseServiceHost(const std::string& setting, ServiceHost& service);

}  // namespace stagewell::net
