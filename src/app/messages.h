// The texts and flags of every box the run shows. Texts are UTF-8 here and
// converted to UTF-16 for display, so they read correctly whatever the
// display language and ANSI code page of the machine.
#pragma once

#include <cstdint>

namespace stagewell::app {

constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbSystemModal = 0x1000;
constexpr uint32_t kMbRight = 0x80000;
constexpr uint32_t kMbRtlReading = 0x100000;

constexpr uint32_t kErrorBox = kMbOk | kMbIconError | kMbSystemModal | kMbRight | kMbRtlReading;  // 0x181010
constexpr uint32_t kInformationBox =
    kMbOk | kMbIconInformation | kMbSystemModal | kMbRight | kMbRtlReading;  // 0x181040

struct BoxMessage {
  const char* text;
  const char* title;
  uint32_t flags;
};

extern const char* const kWaitText;

extern const BoxMessage kWrongLaunch;
extern const BoxMessage kCustomerMissing;
extern const BoxMessage kCustomerCorrupted;
extern const BoxMessage kTerminalInstallation;
extern const BoxMessage kRepDirectoryMissing;
extern const BoxMessage kDocDirectoryMissing;
extern const BoxMessage kDatabaseInfoMissing;
extern const BoxMessage kIdMissing;
extern const BoxMessage kEditionTooOld;
extern const BoxMessage kIdentityUnknown;
extern const BoxMessage kDataTooLong;
extern const BoxMessage kAccepted;
extern const BoxMessage kDuplicate;
extern const BoxMessage kFault;
extern const BoxMessage kNoReply;
extern const BoxMessage kCertificateInvalid;

}  // namespace stagewell::app
