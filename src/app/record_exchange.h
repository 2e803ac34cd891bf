// Sends a checked installation record: machine identity, filled and sealed
// query, the one request, and the opened reply's outcome.
#pragma once

#include <string>

#include "app/transmission_run.h"
#include "identity/identity_platform.h"
#include "net/internet_platform.h"
#include "net/store_user_data.h"

namespace stagewell::app {

class RecordExchange : public RecordTransmitter {
 public:
  // `serviceHost`: the build's setting, "host[:port]" or "https://host[:port]".
  RecordExchange(identity::IdentityPlatform& identityPlatform, net::InternetPlatform& internet,
                 std::string serviceHost);

  const BoxMessage& Transmit(const InstallationRecord& record) override;

 private:
  net::ReplyOutcome Exchange(const std::string& sealed, const std::string& key);

  identity::IdentityPlatform& m_identityPlatform;
  net::InternetPlatform& m_internet;
  std::string m_strServiceHost;
};

}  // namespace stagewell::app
