#include "identity/adapter_records.h"

#include <algorithm>

#include "common/little_endian.h"

namespace stagewell::identity {

uint32_t IfTableRowCount(const IfTableBuffer& table) {
  return std::min<uint32_t>(LoadLittleEndian32(table.bytes), kIfTableMaxRows);
}

IfRow IfTableRow(const IfTableBuffer& table, uint32_t row) {
  const uint8_t* record = table.bytes + kIfTableHeaderSize + static_cast<size_t>(row) * kIfRowSize;
  IfRow result;
  result.index = LoadLittleEndian32(record + if_row::kIndex);
  result.type = LoadLittleEndian32(record + if_row::kType);
  result.physAddr = record + if_row::kPhysAddr;
  result.physAddrLen = std::min<uint32_t>(LoadLittleEndian32(record + if_row::kPhysAddrLen), if_row::kPhysAddrSize);
  result.descr = record + if_row::kDescr;
  result.descrLen = std::min<uint32_t>(LoadLittleEndian32(record + if_row::kDescrLen), if_row::kDescrSize);
  return result;
}

uint32_t DescriptionLength(const AdapterRecord& adapter) {
  const char* end = std::find(adapter.description, adapter.description + AdapterRecord::kDescriptionSize, '\0');
  return static_cast<uint32_t>(end - adapter.description);
}

uint32_t AddressLength(const AdapterRecord& adapter) {
  return std::min<uint32_t>(adapter.addressLength, AdapterRecord::kAddressSize);
}

}  // namespace stagewell::identity
