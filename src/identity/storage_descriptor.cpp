#include "identity/storage_descriptor.h"

#include <algorithm>
#include <cstring>

#include "common/little_endian.h"

namespace stagewell::identity {

std::string SerialFromDescriptor(const StorageDescriptorBuffer& buffer) {
  const uint32_t offset = LoadLittleEndian32(buffer.bytes + kSerialNumberOffsetField);
  static_assert(kNoSerialNumber >= kStorageDescriptorBufferSize, "the bound also refuses the no-serial mark");
  if (offset >= kStorageDescriptorBufferSize) return std::string();
  // At most 1023 bytes: the copy always keeps room for its terminating zero.
  const uint8_t* start = buffer.bytes + offset;
  const uint8_t* limit =
      start + std::min<size_t>(kStorageDescriptorBufferSize - offset, kStorageDescriptorBufferSize - 1);
  const uint8_t* end = std::find(start, limit, 0);
  return std::string(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
}

std::string FormatMediaIdSerial(uint32_t serial) {
  int32_t value;
  std::memcpy(&value, &serial, sizeof value);
  return std::to_string(value);
}

}  // namespace stagewell::identity
