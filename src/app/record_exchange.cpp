#include "app/record_exchange.h"

#include "crypto/sealing.h"
#include "identity/machine_identity.h"
#include "net/server_request.h"
#include "net/store_user_data.h"

namespace stagewell::app {
namespace {

const BoxMessage& MessageFor(net::ReplyOutcome outcome) {
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

}  // namespace

RecordExchange::RecordExchange(identity::IdentityPlatform& identityPlatform, net::InternetPlatform& internet,
                               std::string serviceHost)
    : identityPlatform_(identityPlatform), internet_(internet), serviceHost_(std::move(serviceHost)) {}

const BoxMessage& RecordExchange::Transmit(const InstallationRecord& record) {
  std::string key;
  {
    identity::CMachineIdentity identity(identityPlatform_);
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
  return Exchange(net::BuildAddress(serviceHost_, net::BuildEnvelope(sealed, key)), key);
}

const BoxMessage& RecordExchange::Exchange(const std::string& address, const std::string& key) {
  net::CServerRequest request(internet_);
  if (!request.Send(address)) {
    request.Close();
    return kNoReply;
  }
  std::string line;
  request.ReadReply(line);
  request.Close();
  std::string opened;
  crypto::OpenReply(line, key, opened);
  return MessageFor(net::ClassifyOpenedReply(opened));
}

}  // namespace stagewell::app
