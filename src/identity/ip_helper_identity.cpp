// The adapter sources through IP Helper: choose one adapter, append its address
// and description digest, then the disk part.
#include <cstdio>
#include <vector>

#include "identity/adapter_records.h"
#include "identity/machine_identity.h"

namespace stagewell::identity {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kErrorBufferOverflow = 111;
constexpr uint32_t kErrorNoData = 232;
constexpr uint32_t kFirstSizeGuess = 640;

bool Counts(const AdapterRecord& adapter) {
  return adapter.type == kTypeEthernet || adapter.type == kTypeIeee80211;
}

std::string FormatError(const char* format, uint32_t result) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<int>(result));
  return text;
}

}  // namespace

bool CMachineIdentity::IdentityFromIfTable() {
  IfTableBuffer table{};
  std::optional<uint32_t> result = m_platform.IpHelper().GetIfTable(table);
  if (!result || *result != 0) return false;

  const uint32_t rows = IfTableRowCount(table);
  if (rows == 0) return false;
  uint32_t bestKey = kNone;
  uint32_t bestRow = 0;
  for (uint32_t i = 0; i < rows; ++i) {
    IfRow row = IfTableRow(table, i);
    if (row.type != kTypeEthernet) continue;
    m_strIdentity.clear();
    AppendAddress(row.physAddr, row.physAddrLen);
    // Before Windows 2000 addresses starting with 0x44 are not real adapters.
    if (m_nMajorVersion < 5 && m_strIdentity.size() > 2 && m_strIdentity.compare(0, 2, "44") == 0) {
      m_strIdentity.clear();
      m_strAddressText.clear();
      continue;
    }
    if (SelectionKey(row.index) < bestKey) {
      bestKey = SelectionKey(row.index);
      bestRow = i;
    }
  }
  if (bestKey == kNone) return false;

  IfRow best = IfTableRow(table, bestRow);
  if (best.type != kTypeEthernet) return false;
  m_strIdentity.clear();
  AppendAddress(best.physAddr, best.physAddrLen);
  AppendTextDigest(best.descr, best.descrLen);
  AppendDiskPart();
  return true;
}

bool CMachineIdentity::IdentityFromAdaptersInfo() {
  IpHelperLibrary& ipHelper = m_platform.IpHelper();
  uint32_t size = kFirstSizeGuess;
  std::optional<uint32_t> sizing = ipHelper.SizeAdaptersInfo(size);
  if (!sizing || *sizing == kErrorNoData) return false;
  if (*sizing != 0 && *sizing != kErrorBufferOverflow) {
    m_platform.Diagnostics().ShowDiagnostic(FormatError("Sizing failed with error  %d", *sizing));
    return false;
  }

  std::vector<AdapterRecord> adapters;
  std::optional<uint32_t> info = ipHelper.ReadAdaptersInfo(size, adapters);
  if (!info) return false;
  if (*info != 0) {
    m_platform.Diagnostics().ShowDiagnostic(FormatError("Info failed with error %d", *info));
    return false;
  }

  // One pass with both conditions: a wireless adapter never displaces a chosen
  // Ethernet adapter, whatever its index.
  uint32_t bestKey = kNone;
  uint32_t bestType = kNone;
  for (const AdapterRecord& adapter : adapters) {
    if (!Counts(adapter)) continue;
    if (SelectionKey(adapter.index) < bestKey && adapter.type <= bestType) {
      bestKey = SelectionKey(adapter.index);
      bestType = adapter.type;
    }
  }
  if (bestKey == kNone) return false;

  for (const AdapterRecord& adapter : adapters) {
    if (SelectionKey(adapter.index) != bestKey) continue;
    AppendAddress(adapter.address, AddressLength(adapter));
    AppendTextDigest(reinterpret_cast<const uint8_t*>(adapter.description), DescriptionLength(adapter));
    AppendDiskPart();
    return true;
  }
  return false;
}

}  // namespace stagewell::identity
