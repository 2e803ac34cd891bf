// Sealing of the store-user-data query into hexadecimal text and opening of the
// server's reply, both with Blowfish keyed by the machine identity string.
#pragma once

#include <cstddef>
#include <string>

#include "crypto/blowfish.h"
#include "crypto/hex_text.h"

namespace stagewell::crypto {

// The largest query Seal takes, in bytes (a multiple of 8, so no padding beyond it).
constexpr size_t kSealLimit = 10000;
// OpenSegment opens nothing longer, in characters.
constexpr size_t kSegmentLimit = 10000;

enum class SealStatus { kSealed, kEmptyKey, kQueryTooLong };

// Enciphers the query's bytes and writes them as a sealed text ("HH$HH$...$HH",
// see hex_text.h), 3 * M - 1 characters for M = OutputLength(query size). An empty key or a query over
// kSealLimit is refused and leaves `sealed` empty; nothing is to be sent then.
SealStatus Seal(const std::string& query, const std::string& key, std::string& sealed);

// Opens a reply of one or several sealed texts written one after another, or one
// segment, after trimming white space; the plain texts of the runs
// are concatenated. Undecipherable replies open to whatever they give, often
// nothing. False only when the key is empty (then `plain` is left empty).
bool OpenReply(const std::string& reply, const std::string& key, std::string& plain);

// Decodes a segment and deciphers it; the result ends before the first zero byte
// (the padding, or anything after a zero inside the run). A segment longer than
// kSegmentLimit opens to the empty text.
std::string OpenSegment(const std::string& segment, const CBlowfish& cipher);

}  // namespace stagewell::crypto
