// The disk serial texts as the devices report them: the storage device
// descriptor's serial string and the VWIN32 media ID serial number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stagewell::identity {

constexpr size_t kStorageDescriptorBufferSize = 1024;
// STORAGE_DEVICE_DESCRIPTOR.SerialNumberOffset.
constexpr size_t kSerialNumberOffsetField = 24;
constexpr uint32_t kNoSerialNumber = 0xFFFFFFFF;

struct alignas(8) StorageDescriptorBuffer {
  uint8_t bytes[kStorageDescriptorBufferSize];
};

// The zero-terminated string at SerialNumberOffset, as reported (spaces kept),
// never read past the buffer; empty when there is none or the offset is outside.
std::string SerialFromDescriptor(const StorageDescriptorBuffer& buffer);

// The media ID serial number as a signed 32-bit decimal ("%d").
std::string FormatMediaIdSerial(uint32_t serial);

}  // namespace stagewell::identity
