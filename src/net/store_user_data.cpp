#include "net/store_user_data.h"

#include <utility>

#include "common/text.h"

namespace stagewell::net {
namespace {

constexpr char kQueryTemplate[] =
    "O=18&&STO=StoreUserData&P1=~CustID&P2=~RepDir&P3=~LDDir&P4=~DBInfo&P5=~ID&P6=~Kupa"
    "&P7=~Date&P8=~Version&RENCR=~RENCR";
constexpr char kEnvelopeTemplate[] = "QOR_URL=~QORURL&QOR_ENCR=~QOR_ENCR";
constexpr char kServicePath[] = "/iqor/NewWA.dll?";

}  // namespace

std::string FillQuery(const QueryValues& values) {
  // The order matters: a value holding a later placeholder has it replaced too.
  const std::pair<const char*, const std::string*> placeholders[] = {
      {"~CustID", &values.customer},
      {"~RepDir", &values.repDirectory},
      {"~LDDir", &values.docDirectory},
      {"~DBInfo", &values.databaseInfo},
      {"~ID", &values.id},
      {"~Kupa", &values.kupa},
      {"~Date", &values.date},
      {"~Version", &values.version},
      {"~RENCR", &values.identity},
  };
  std::string query = kQueryTemplate;
  for (const auto& [placeholder, value] : placeholders) ReplaceAll(query, placeholder, *value);
  return query;
}

std::string BuildEnvelope(const std::string& sealed, const std::string& identity) {
  std::string envelope = kEnvelopeTemplate;
  ReplaceAll(envelope, "~QORURL", sealed);
  ReplaceAll(envelope, "~QOR_ENCR", identity);
  return envelope;
}

std::string BuildAddress(const std::string& host, const std::string& envelope) {
  return host + kServicePath + envelope;
}

ReplyOutcome ClassifyOpenedReply(const std::string& opened) {
  if (opened.find('0') != std::string::npos) return ReplyOutcome::kAccepted;
  if (opened.find("-1") != std::string::npos) return ReplyOutcome::kDuplicate;
  return ReplyOutcome::kFault;
}

}  // namespace stagewell::net
