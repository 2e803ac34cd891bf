#include "identity/machine_identity.h"

#include <algorithm>

#include "common/text.h"
#include "identity/identity_text.h"

namespace stagewell::identity {
namespace {

constexpr uint32_t kPlatformWin9x = 1;
constexpr uint8_t kFallbackAddress[] = {0x00, 0x0D, 0x60, 0x4C, 0x25, 0x99};
constexpr uint32_t kAddressBytes = 6;

// Windows 95 reports minor version 0; 98 is 10, Me 90.
bool IsWindows95(const OsVersion& version) { return version.platformId == kPlatformWin9x && version.minor < 10; }
bool IsWindows98OrOlder(const OsVersion& version) {
  return version.platformId == kPlatformWin9x && version.minor < 90;
}

}  // namespace

CMachineIdentity::CMachineIdentity(IdentityPlatform& platform) : m_platform(platform) {}

bool CMachineIdentity::ComputeIdentity() {
  OsVersion version;
  bool probed = m_platform.Version().GetOsVersion(version);
  if (probed) {
    m_nMajorVersion = version.major;
    m_nPlatformId = version.platformId;
    if (IsWindows95(version)) probed = false;
  }
  m_strIdentity.clear();
  if (!probed) return UseFallbackAddress();

  if (!m_bIpHelperLoaded) {
    m_bIpHelperLoaded = m_platform.IpHelper().Load();
    if (!m_bIpHelperLoaded) {
      if (IsWindows98OrOlder(version)) return UseFallbackAddress();
      m_platform.Diagnostics().ShowDiagnostic("Unable to load ....dll");
      return false;
    }
  }

  bool found = m_nMajorVersion < 6 ? IdentityFromIfTable() : IdentityFromAdaptersInfo();
  if (found) return true;
  return UseFallbackAddress();
}

bool CMachineIdentity::UseFallbackAddress() {
  m_strIdentity.clear();
  AppendAddress(kFallbackAddress, sizeof kFallbackAddress);
  AppendTextDigest(nullptr, 0);
  // Leaves the WMI adapter group nothing to match.
  m_strAddressText.clear();
  return AppendDiskPart();
}

bool CMachineIdentity::AppendDiskPart() {
  if (m_nMajorVersion < 4) return true;
  std::string serial;
  bool found;
  if (m_nPlatformId == kPlatformWin9x) {
    found = QueryDiskSerialByVwin32(serial);
  } else if (m_nMajorVersion < 6) {
    found = QueryDiskSerialByDrive(serial);
  } else {
    found = QueryDiskSerialByWmi(serial);
  }
  if (found) {
    FoldText(serial);
    m_strIdentity += serial;
    return true;
  }
  if (m_nMajorVersion >= 5) return AppendWmiAdapterGroups();
  std::string none;
  FoldText(none);
  m_strIdentity += none;
  return true;
}

bool CMachineIdentity::AppendAddress(const uint8_t* bytes, uint32_t length) {
  m_strAddressText.clear();
  const uint32_t used = std::min(length, kAddressBytes);
  for (uint32_t i = 0; i < length; ++i) {
    std::string pair = Hex2(bytes[i]);
    if (i < used) m_strIdentity += pair;
    m_strAddressText += pair + ":";
  }
  for (uint32_t i = used; i < kAddressBytes; ++i) m_strIdentity += "00";
  return true;
}

bool CMachineIdentity::AppendTextDigest(const uint8_t* bytes, uint32_t count) {
  m_strIdentity += DescriptionDigest(bytes, count);
  return true;
}

bool CMachineIdentity::FoldText(std::string& text) {
  text = FoldDigits(text);
  return true;
}

}  // namespace stagewell::identity
