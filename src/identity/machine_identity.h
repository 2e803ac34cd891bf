// The machine identity string: 12 address digits and 4 description-digest
// digits of one network adapter, then 4 digits from one disk's serial text.
#pragma once

#include <cstdint>
#include <string>

#include "identity/identity_platform.h"

namespace stagewell::identity {

class CMachineIdentity {
 public:
  explicit CMachineIdentity(IdentityPlatform& platform);
  CMachineIdentity(const CMachineIdentity&) = delete;
  CMachineIdentity& operator=(const CMachineIdentity&) = delete;

  // Builds the identity; false (and an empty identity) only when IP Helper is
  // missing on the NT family. May be called again: IP Helper is loaded once.
  bool ComputeIdentity();
  const std::string& Identity() const { return m_strIdentity; }
  // "AA:BB:...:" form of the chosen adapter's whole address; empty after the fallback.
  const std::string& AddressText() const { return m_strAddressText; }
  // 0 until a version probe succeeds.
  uint32_t MajorVersion() const { return m_nMajorVersion; }

 private:
  // The adapter sources through IP Helper: the interface table below major
  // version 6, the adapter list from 6 on. True once all three pieces are written.
  bool IdentityFromIfTable();
  bool IdentityFromAdaptersInfo();
  // The fixed substitute address when no adapter address can be had.
  bool UseFallbackAddress();

  // The three pieces, in their order.
  void AppendAdapter(const uint8_t* address, uint32_t addressLength, const uint8_t* description,
                     uint32_t descriptionLength);
  void AppendAddress(const uint8_t* bytes, uint32_t length);
  void AppendTextDigest(const uint8_t* bytes, uint32_t count);
  bool AppendDiskPart();
  bool QueryDiskSerial(std::string& serial);
  bool AppendWmiAdapterGroups();

  IdentityPlatform& m_platform;
  bool m_bIpHelperLoaded = false;
  uint32_t m_nMajorVersion = 0;
  uint32_t m_nPlatformId = 0;
  std::string m_strIdentity;
  std::string m_strAddressText;
};

}  // namespace stagewell::identity
