#include "net/store_user_data.h"

#include <gtest/gtest.h>

#include <string>

namespace stagewell::net {
namespace {

QueryValues TypicalValues() {
  QueryValues v;
  v.customer = "123456";
  v.repDirectory = "\\\\SERVER\\Ledgora\\Reports";
  v.docDirectory = "C:\\Ledgora\\Docs";
  v.databaseInfo = "STATION1\\SQLEXPRESS";
  v.id = "7788";
  v.kupa = "3";
  v.date = "2026-12-07 08:05:09";
  v.version = "2015a SP1 123";
  v.identity = "00AB12CD34EF5A6B0C1D";
  return v;
}

TEST(FillQuery, FillsEveryPlaceholder) {
  struct Row {
    const char* name;
    void (*change)(QueryValues&);
    std::string expected;
  };
  const Row rows[] = {
      {"typical record", [](QueryValues&) {},
       "O=18&&STO=StoreUserData&P1=123456&P2=\\\\SERVER\\Ledgora\\Reports&P3=C:\\Ledgora\\Docs"
       "&P4=STATION1\\SQLEXPRESS&P5=7788&P6=3&P7=2026-12-07 08:05:09&P8=2015a SP1 123"
       "&RENCR=00AB12CD34EF5A6B0C1D"},
      {"all empty but the identity",
       [](QueryValues& v) {
         v = QueryValues{};
         v.identity = "ABCD";
       },
       "O=18&&STO=StoreUserData&P1=&P2=&P3=&P4=&P5=&P6=&P7=&P8=&RENCR=ABCD"},
      {"& and = and % inserted unescaped",
       [](QueryValues& v) {
         v = QueryValues{};
         v.docDirectory = "C:\\A&B=C %20 D";
       },
       "O=18&&STO=StoreUserData&P1=&P2=&P3=C:\\A&B=C %20 D&P4=&P5=&P6=&P7=&P8=&RENCR="},
      {"Windows-1255 bytes unchanged",
       [](QueryValues& v) {
         v = QueryValues{};
         v.repDirectory = "C:\\\xE3\xE5\xE7\xE5\xFA";
       },
       "O=18&&STO=StoreUserData&P1=&P2=C:\\\xE3\xE5\xE7\xE5\xFA&P3=&P4=&P5=&P6=&P7=&P8=&RENCR="},
      {"later placeholder inside an earlier value is replaced",
       [](QueryValues& v) { v.repDirectory = "C:\\R~Kupa\\~ID~ID"; },
       "O=18&&STO=StoreUserData&P1=123456&P2=C:\\R3\\77887788&P3=C:\\Ledgora\\Docs"
       "&P4=STATION1\\SQLEXPRESS&P5=7788&P6=3&P7=2026-12-07 08:05:09&P8=2015a SP1 123"
       "&RENCR=00AB12CD34EF5A6B0C1D"},
      {"earlier placeholder inside a later value stays",
       [](QueryValues& v) {
         v = QueryValues{};
         v.version = "~CustID ~RepDir";
         v.customer = "9";
       },
       "O=18&&STO=StoreUserData&P1=9&P2=&P3=&P4=&P5=&P6=&P7=&P8=~CustID ~RepDir&RENCR="},
      {"identity placeholder inside a value gets the identity",
       [](QueryValues& v) {
         v = QueryValues{};
         v.id = "x~RENCRy";
         v.identity = "K";
       },
       "O=18&&STO=StoreUserData&P1=&P2=&P3=&P4=&P5=xKy&P6=&P7=&P8=&RENCR=K"},
      {"a value's own placeholder is not rescanned",
       [](QueryValues& v) {
         v = QueryValues{};
         v.id = "~ID";
       },
       "O=18&&STO=StoreUserData&P1=&P2=&P3=&P4=&P5=~ID&P6=&P7=&P8=&RENCR="},
  };
  for (const auto& row : rows) {
    QueryValues values = TypicalValues();
    row.change(values);
    EXPECT_EQ(FillQuery(values), row.expected) << row.name;
  }
}

TEST(Envelope, CarriesTheSealedQueryAndTheIdentityInPlain) {
  EXPECT_EQ(BuildEnvelope("0A$FF$00", "00AB12CD34EF5A6B0C1D"), "QOR_URL=0A$FF$00&QOR_ENCR=00AB12CD34EF5A6B0C1D");
  EXPECT_EQ(BuildEnvelope("", ""), "QOR_URL=&QOR_ENCR=");
}

TEST(Address, HostPathAndEnvelope) {
  EXPECT_EQ(BuildAddress("127.0.0.1:8750", "QOR_URL=AB&QOR_ENCR=K"),
            "127.0.0.1:8750/iqor/NewWA.dll?QOR_URL=AB&QOR_ENCR=K");
}

const char* Name(ReplyOutcome outcome) {
  switch (outcome) {
    case ReplyOutcome::kAccepted:
      return "accepted";
    case ReplyOutcome::kDuplicate:
      return "duplicate";
    case ReplyOutcome::kFault:
      return "fault";
    case ReplyOutcome::kNoReply:
      return "no reply";
    case ReplyOutcome::kCertificateInvalid:
      return "certificate invalid";
  }
  return "?";
}

TEST(ClassifyOpenedReply, ZeroThenMinusOneThenFault) {
  struct Row {
    std::string opened;
    ReplyOutcome expected;
  };
  const Row rows[] = {
      {"0", ReplyOutcome::kAccepted},
      {"-1", ReplyOutcome::kDuplicate},
      {"-10", ReplyOutcome::kAccepted},
      {"10", ReplyOutcome::kAccepted},
      {"OK 2026-01-01", ReplyOutcome::kAccepted},
      {"1", ReplyOutcome::kFault},
      {"", ReplyOutcome::kFault},
      {"ERR", ReplyOutcome::kFault},
      {"x-1y", ReplyOutcome::kDuplicate},
      {"- 1", ReplyOutcome::kFault},
      {"\xF0\x9C\xAA", ReplyOutcome::kFault},
  };
  for (const auto& row : rows) {
    EXPECT_STREQ(Name(ClassifyOpenedReply(row.opened)), Name(row.expected)) << "opened «" << row.opened << "»";
  }
}

}  // namespace
}  // namespace stagewell::net
