#include "app/record_exchange.h"

#include "crypto/sealing.h"
#include "identity/machine_identity.h"
#include "net/server_request.h"
#include "net/service_host.h"

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
    case net::ReplyOutcome::kCertificateInvalid:
      return kCertificateInvalid;
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

// The whole first reply line of the one request, which is closed when this
// returns; any other outcome when there is none.
net::SendOutcome RequestReplyLine(net::InternetPlatform& internet, net::Transport transport, const std::string& address,
                                  std::string& line) {
  net::CServerRequest request(internet, transport);
  const net::SendOutcome sent = request.Send(address);
  if (sent != net::SendOutcome::kResponse) return sent;
  // A line the deadline cut off could open to anything, "0" included.
  return request.ReadReply(line) ? sent : net::SendOutcome::kNoResponse;
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
  return BoxFor(Exchange(sealed, key));
}

net::ReplyOutcome RecordExchange::Exchange(const std::string& sealed, const std::string& key) {
  net::ServiceHost service;
  // The build refuses a malformed setting; should one get through, nothing is sent.
  if (!net::ParseServiceHost(m_strServiceHost, service)) return net::ReplyOutcome::kNoReply;
  const std::string address = net::BuildAddress(service.host, net::BuildEnvelope(sealed, key));
  std::string line;
  switch (RequestReplyLine(m_internet, service.transport, address, line)) {
    case net::SendOutcome::kNoResponse:
      return net::ReplyOutcome::kNoReply;
    case net::SendOutcome::kCertificateInvalid:
      return net::ReplyOutcome::kCertificateInvalid;
    case net::SendOutcome::kResponse:
      break;
  }
  std::string opened;
  crypto::OpenReply(line, key, opened);
  return net::ClassifyOpenedReply(opened);
}

}  // namespace stagewell::app
