#include "crypto/hex_text.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

namespace stagewell::crypto {
namespace {

using testing::Bytes;
using testing::Hex;

TEST(EncodeHexTest, WritesUpperCaseDigitPairsEachAfterADollar) {
  const Bytes bytes = {0x0A, 0xFF, 0x00, 0x9C};
  EXPECT_EQ(EncodeHex(bytes.data(), bytes.size()), "$0A$FF$00$9C");
  EXPECT_EQ(EncodeHex(nullptr, 0), "");
}

TEST(EncodeHexTest, EveryByteValueDecodesBack) {
  Bytes all(256);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<uint8_t>(b);
  EXPECT_EQ(Hex(DecodeHex(EncodeHex(all.data(), all.size()))), Hex(all));
}

TEST(DecodeHexTest, ReadsItemsAsStrtolReadsBase16) {
  struct Row {
    const char* name;
    std::string text;
    Bytes expected;
  };
  const Row rows[] = {
      {"empty", "", {}},
      {"upper case", "$0A$FF$00", {0x0A, 0xFF, 0x00}},
      {"lower case", "$0a$ff$c3", {0x0A, 0xFF, 0xC3}},
      {"no dollar", "0A0B", {}},
      {"text around items skipped", "xy$41z$42 ", {0x41, 0x42}},
      {"dollar last, no digits", "$41$", {0x41, 0x00}},
      {"one digit at the end", "$41$7", {0x41, 0x07}},
      {"one digit swallows the next dollar", "$7$41", {0x07}},
      {"digit then non-digit", "$1G", {0x01}},
      {"no digit", "$G1", {0x00}},
      {"two dollars", "$$41", {0x00}},
      {"leading space", "$ F", {0x0F}},
      {"leading tab", "$\t7", {0x07}},
      {"leading vertical tab", "$\v7", {0x07}},
      {"leading form feed", "$\fA", {0x0A}},
      {"carriage return and line feed", "$\r9$\n8", {0x09, 0x08}},
      {"only white space", "$ \t", {0x00}},
      {"plus sign", "$+F", {0x0F}},
      {"minus sign keeps the low 8 bits", "$-1$-F", {0xFF, 0xF1}},
      {"sign without digit", "$- $+", {0x00, 0x00}},
      {"0x prefix without digits", "$0x$0X", {0x00, 0x00}},
      {"zero byte stops the digits",
       std::string("$\0"
                   "1$4\0",
                   6),
       {0x00, 0x04}},
      {"bytes above 127", "$\xE0\xF9$4\xFF", {0x00, 0x04}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + ": \"" + row.text + "\"");
    EXPECT_EQ(Hex(DecodeHex(row.text)), Hex(row.expected));
  }
}

}  // namespace
}  // namespace stagewell::crypto
