#include "identity/ip_helper_identity.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace stagewell::identity {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kErrorBufferOverflow = 111;
constexpr uint32_t kErrorNoData = 232;
constexpr uint32_t kFirstSizeGuess = 640;

// Before Windows 2000 an address starting with 0x44 is no real adapter.
bool StartsWith0x44(const IfRow& row) { return row.physAddrLen > 0 && row.physAddr[0] == 0x44; }

bool Counts(const AdapterRecord& adapter) { return adapter.type == kTypeEthernet || adapter.type == kTypeIeee80211; }

std::string FormatError(const char* format, uint32_t result) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<int>(result));
  return text;
}

}  // namespace

std::optional<IfRow> ChooseIfTableRow(const IfTableBuffer& table, uint32_t majorVersion) {
  std::optional<IfRow> best;
  const uint32_t rows = IfTableRowCount(table);
  for (uint32_t i = 0; i < rows; ++i) {
    const IfRow row = IfTableRow(table, i);
    if (row.type != kTypeEthernet) continue;
    if (majorVersion < 5 && StartsWith0x44(row)) continue;
    if (!best || SelectionKey(row.index) < SelectionKey(best->index)) best = row;
  }
  return best;
}

bool ReadAdapterList(IpHelperLibrary& ipHelper, DiagnosticSink& diagnostics, std::vector<AdapterRecord>& adapters) {
  uint32_t size = kFirstSizeGuess;
  const std::optional<uint32_t> sizing = ipHelper.SizeAdaptersInfo(size);
  if (!sizing || *sizing == kErrorNoData) return false;
  if (*sizing != 0 && *sizing != kErrorBufferOverflow) {
    diagnostics.ShowDiagnostic(FormatError("Sizing failed with error  %d", *sizing));
    return false;
  }
  const std::optional<uint32_t> info = ipHelper.ReadAdaptersInfo(size, adapters);
  if (!info) return false;
  if (*info != 0) {
    diagnostics.ShowDiagnostic(FormatError("Info failed with error %d", *info));
    return false;
  }
  return true;
}

const AdapterRecord* ChooseAdapter(const std::vector<AdapterRecord>& adapters) {
  uint32_t bestKey = kNone;
  uint32_t bestType = kNone;
  for (const AdapterRecord& adapter : adapters) {
    if (!Counts(adapter)) continue;
    if (SelectionKey(adapter.index) < bestKey && adapter.type <= bestType) {
      bestKey = SelectionKey(adapter.index);
      bestType = adapter.type;
    }
  }
  if (bestKey == kNone) return nullptr;
  // Found: the key is some adapter's.
  return &*std::find_if(adapters.begin(), adapters.end(),
                        [bestKey](const AdapterRecord& adapter) { return SelectionKey(adapter.index) == bestKey; });
}

}  // namespace stagewell::identity
