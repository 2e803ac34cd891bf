// IP Helper's adapter records as our code reads them: the interface table in
// its published byte layout, and the adapter list copied into plain records.
// Every length in a record is bounded by the field that holds the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stagewell::identity {

// MIB_IFTABLE: a 32-bit entry count, then 860-byte MIB_IFROW records.
constexpr size_t kIfTableBufferSize = 17280;
constexpr size_t kIfRowSize = 860;
constexpr size_t kIfTableHeaderSize = 4;
constexpr size_t kIfTableMaxRows = (kIfTableBufferSize - kIfTableHeaderSize) / kIfRowSize;  // 20

// Byte offsets inside MIB_IFROW (after the 256 wide characters of wszName).
namespace if_row {
constexpr size_t kIndex = 512;
constexpr size_t kType = 516;
constexpr size_t kPhysAddrLen = 528;
constexpr size_t kPhysAddr = 532;
constexpr size_t kPhysAddrSize = 8;
constexpr size_t kDescrLen = 600;
constexpr size_t kDescr = 604;
constexpr size_t kDescrSize = 256;
}  // namespace if_row

struct alignas(8) IfTableBuffer {
  uint8_t bytes[kIfTableBufferSize];
};

// One row of the interface table, lengths already bounded by their fields.
struct IfRow {
  uint32_t index = 0;
  uint32_t type = 0;
  const uint8_t* physAddr = nullptr;
  uint32_t physAddrLen = 0;
  const uint8_t* descr = nullptr;
  uint32_t descrLen = 0;
};

// Rows the table says it has, but never more than the buffer holds.
uint32_t IfTableRowCount(const IfTableBuffer& table);
// `row` is below IfTableRowCount(table).
IfRow IfTableRow(const IfTableBuffer& table, uint32_t row);

// The members of IP_ADAPTER_INFO we use, copied field for field.
struct AdapterRecord {
  static constexpr size_t kDescriptionSize = 132;
  static constexpr size_t kAddressSize = 8;
  char description[kDescriptionSize] = {};
  uint32_t addressLength = 0;
  uint8_t address[kAddressSize] = {};
  uint32_t index = 0;
  uint32_t type = 0;
};

// The description's length up to its zero, or the whole field when it has none.
uint32_t DescriptionLength(const AdapterRecord& adapter);
// AddressLength, bounded by the 8 bytes the record holds.
uint32_t AddressLength(const AdapterRecord& adapter);

constexpr uint32_t kTypeEthernet = 6;    // MIB_IF_TYPE_ETHERNET
constexpr uint32_t kTypeIeee80211 = 71;  // IF_TYPE_IEEE80211

// Adapters are compared by the low 16 bits of their index.
inline uint32_t SelectionKey(uint32_t index) { return index & 0xFFFFu; }

}  // namespace stagewell::identity
