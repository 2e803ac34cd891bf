#include "identity/machine_identity.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/text.h"
#include "identity/adapter_groups.h"
#include "identity/disk_identity.h"
#include "identity/identity_text.h"
#include "identity/ip_helper_identity.h"

namespace stagewell::identity {
namespace {

constexpr uint32_t kPlatformWin9x = 1;
constexpr uint8_t kFallbackAddress[] = {0x00, 0x0D, 0x60, 0x4C, 0x25, 0x99};
constexpr uint32_t kAddressBytes = 6;

// Windows 95 reports minor version 0; 98 is 10, Me 90.
bool IsWindows95(const OsVersion& version) { return version.platformId == kPlatformWin9x && version.minor < 10; }
bool IsWindows98OrOlder(const OsVersion& version) { return version.platformId == kPlatformWin9x && version.minor < 90; }

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

  const bool found = m_nMajorVersion < 6 ? IdentityFromIfTable() : IdentityFromAdaptersInfo();
  return found || UseFallbackAddress();
}

bool CMachineIdentity::IdentityFromIfTable() {
  IfTableBuffer table{};
  const std::optional<uint32_t> result = m_platform.IpHelper().GetIfTable(table);
  if (!result || *result != 0) return false;
  const std::optional<IfRow> row = ChooseIfTableRow(table, m_nMajorVersion);
  if (!row) return false;
  AppendAdapter(row->physAddr, row->physAddrLen, row->descr, row->descrLen);
  return true;
}

bool CMachineIdentity::IdentityFromAdaptersInfo() {
  std::vector<AdapterRecord> adapters;
  if (!ReadAdapterList(m_platform.IpHelper(), m_platform.Diagnostics(), adapters)) return false;
  const AdapterRecord* adapter = ChooseAdapter(adapters);
  if (!adapter) return false;
  AppendAdapter(adapter->address, AddressLength(*adapter), reinterpret_cast<const uint8_t*>(adapter->description),
                DescriptionLength(*adapter));
  return true;
}

bool CMachineIdentity::UseFallbackAddress() {
  m_strIdentity.clear();
  AppendAddress(kFallbackAddress, sizeof kFallbackAddress);
  AppendTextDigest(nullptr, 0);
  // Leaves the WMI adapter group nothing to match.
  m_strAddressText.clear();
  return AppendDiskPart();
}

void CMachineIdentity::AppendAdapter(const uint8_t* address, uint32_t addressLength, const uint8_t* description,
                                     uint32_t descriptionLength) {
  AppendAddress(address, addressLength);
  AppendTextDigest(description, descriptionLength);
  AppendDiskPart();
}

void CMachineIdentity::AppendAddress(const uint8_t* bytes, uint32_t length) {
  m_strAddressText.clear();
  const uint32_t used = std::min(length, kAddressBytes);
  for (uint32_t i = 0; i < length; ++i) {
    const std::string pair = Hex2(bytes[i]);
    if (i < used) m_strIdentity += pair;
    m_strAddressText += pair + ":";
  }
  for (uint32_t i = used; i < kAddressBytes; ++i) m_strIdentity += "00";
}

void CMachineIdentity::AppendTextDigest(const uint8_t* bytes, uint32_t count) {
  m_strIdentity += DescriptionDigest(bytes, count);
}

bool CMachineIdentity::AppendDiskPart() {
  if (m_nMajorVersion < 4) return true;
  std::string serial;
  if (QueryDiskSerial(serial)) {
    m_strIdentity += FoldText(serial);
    return true;
  }
  if (m_nMajorVersion >= 5) return AppendWmiAdapterGroups();
  m_strIdentity += FoldText(std::string());
  return true;
}

// One disk serial source, by the version probed.
bool CMachineIdentity::QueryDiskSerial(std::string& serial) {
  if (m_nPlatformId == kPlatformWin9x) return QueryDiskSerialByVwin32(m_platform.Disks(), serial);
  if (m_nMajorVersion < 6) return QueryDiskSerialByDrive(m_platform.Disks(), serial);
  return QueryDiskSerialByWmi(m_platform.Wmi(), serial);
}

bool CMachineIdentity::AppendWmiAdapterGroups() {
  std::vector<std::string> descriptions;
  std::vector<std::string> macTexts;
  ListWmiAdapters(m_platform.Wmi(), descriptions, macTexts);  // after a failure both stay empty
  m_strIdentity += ChooseAdapterGroups(m_strAddressText, descriptions, macTexts, g_nAdapterGroups);
  return true;
}

}  // namespace stagewell::identity
