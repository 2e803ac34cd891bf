// The machine identity string: 12 address digits and 4 description-digest
// digits of one network adapter, then 4 digits from one disk's serial text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "identity/identity_platform.h"

namespace stagewell::identity {

class CMachineIdentity {
 public:
  explicit CMachineIdentity(IdentityPlatform& platform);
  CMachineIdentity(const CMachineIdentity&) = delete;
  CMachineIdentity& operator=(const CMachineIdentity&) = delete;

  // Builds the identity; false (and an empty identity) only when IP Helper is
  // missing on the NT family.
  bool ComputeIdentity();
  const std::string& Identity() const { return m_strIdentity; }
  // "AA:BB:...:" form of the last address appended; empty after the fallback.
  const std::string& AddressText() const { return m_strAddressText; }
  uint32_t MajorVersion() const { return m_nMajorVersion; }
  uint32_t PlatformId() const { return m_nPlatformId; }

  // The fixed substitute address when no adapter address can be had.
  bool UseFallbackAddress();
  bool AppendDiskPart();
  bool AppendAddress(const uint8_t* bytes, uint32_t length);
  bool AppendTextDigest(const uint8_t* bytes, uint32_t count);
  static bool FoldText(std::string& text);

  // Adapter sources through IP Helper: the interface table below major
  // version 6, the adapter list from 6 on.
  bool IdentityFromIfTable();
  bool IdentityFromAdaptersInfo();

  // The disk part from the WMI adapter list.
  bool ListWmiAdapters(std::vector<std::string>& descriptions, std::vector<std::string>& macTexts);
  bool AppendWmiAdapterGroups();

  // Disk serial texts; each assigns `serial` and is true when it is not empty.
  bool QueryDiskSerialByDrive(std::string& serial);
  bool QueryDiskSerialByWmi(std::string& serial);
  bool QueryDiskSerialByVwin32(std::string& serial);

 private:
  IdentityPlatform& m_platform;
  bool m_bIpHelperLoaded = false;
  uint32_t m_nMajorVersion = 0;
  uint32_t m_nPlatformId = 0;
  std::string m_strIdentity;
  std::string m_strAddressText;
};

}  // namespace stagewell::identity
