// The wire format of the store-user-data request and the reading of its reply.
#pragma once

#include <string>

namespace stagewell::net {

// Values of the installation record as the run produced them (ANSI bytes).
struct QueryValues {
  std::string customer;
  std::string repDirectory;
  std::string docDirectory;
  std::string databaseInfo;
  std::string id;
  std::string kupa;
  std::string date;
  std::string version;
  std::string identity;
};

// The query template with every placeholder replaced, in a fixed order; values
// go in as they are, unescaped.
std::string FillQuery(const QueryValues& values);
// "QOR_URL=<sealed>&QOR_ENCR=<identity>".
std::string BuildEnvelope(const std::string& sealed, const std::string& identity);
// host + "/iqor/NewWA.dll?" + envelope; no scheme.
std::string BuildAddress(const std::string& host, const std::string& envelope);

// The outcome of the exchange; kNoReply when the request got no response,
// kCertificateInvalid when the server's certificate failed the check and
// nothing was sent.
enum class ReplyOutcome { kAccepted, kDuplicate, kFault, kNoReply, kCertificateInvalid };

// Classifies the opened reply by substring: "0" anywhere, then "-1", else fault.
ReplyOutcome ClassifyOpenedReply(const std::string& opened);

}  // namespace stagewell::net
