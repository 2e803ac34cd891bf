#include "app/record_exchange.h"

#include "crypto/sealing.h"
#include "identity/machine_identity.h"
#include "net/server_request.h"

namespace stagewell::app {
namespace {

const BoxMessage& BoxFor(net::ReplyOutcome outcome) {
  switch (outcome) {
    case net::ReplyOutcome::kAccepted:
      return kAccepted;
    case net::ReplyOutcome::kDuplicate:
      return kDuplicate;
    case net::ReplyOutcome::kFault:
      return kFault;
    case net::ReplyOutcome::kNoReply:
      break;
  }
  return kNoReply;
}

net::QueryValues QueryValuesOf(const InstallationRecord& record, const std::string& identity) {
  net::QueryValues values;
  values.customer = record.customer;
  values.repDirectory = record.repDirectory;
  values.docDirectory = record.docDirectory;
  values.databaseInfo = record.databaseInfo;
  values.id = record.id;
  values.kupa = record.kupa;
  values.date = record.date;
  values.version = record.version;
  values.identity = identity;
  return values;
}

// The first reply line of the one request, which is closed when this returns;
// false when no response came.
bool RequestReplyLine(net::InternetPlatform& internet, const std::string& address, std::string& line) {
  net::CServerRequest request(internet);
  if (!request.Send(address)) return false;
  request.ReadReply(line);
  return true;
}

}  // namespace

RecordExchange::RecordExchange(identity::IdentityPlatform& identityPlatform, net::InternetPlatform& internet,
                               std::string serviceHost)
    : m_identityPlatform(identityPlatform), m_internet(internet), m_strServiceHost(std::move(serviceHost)) {}

const BoxMessage& RecordExchange::Transmit(const InstallationRecord& record) {
  std::string key;
  {
    identity::CMachineIdentity identity(m_identityPlatform);
    identity.ComputeIdentity();
    key = identity.Identity();
  }

  std::string sealed;
  switch (crypto::Seal(net::FillQuery(QueryValuesOf(record, key)), key, sealed)) {
    case crypto::SealStatus::kEmptyKey:
      // Without an identity the server could not open the request.
      return kIdentityUnknown;
    case crypto::SealStatus::kQueryTooLong:
      return kDataTooLong;
    case crypto::SealStatus::kSealed:
      break;
  }
  return BoxFor(Exchange(net::BuildAddress(m_strServiceHost, net::BuildEnvelope(sealed, key)), key));
}

net::ReplyOutcome RecordExchange::Exchange(const std::string& address, const std::string& key) {
  std::string line;
  if (!RequestReplyLine(m_internet, address, line)) return net::ReplyOutcome::kNoReply;
  std::string opened;
  crypto::OpenReply(line, key, opened);
  return net::ClassifyOpenedReply(opened);
}

}  // namespace stagewell::app
