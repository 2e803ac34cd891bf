// A platform of canned records for the identity tests; it logs every query.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "identity/identity_platform.h"

namespace stagewell::identity::testing {

inline void StoreU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Interface-table rows in MIB_IFROW layout; lengths are written as given, so a
// row may claim more than its fields hold.
struct IfRowSpec {
  uint32_t index;
  uint32_t type;
  std::vector<uint8_t> address;
  std::string description;
  std::optional<uint32_t> addressLength = std::nullopt;      // default: address.size()
  std::optional<uint32_t> descriptionLength = std::nullopt;  // default: description.size()
};

inline IfTableBuffer MakeIfTable(const std::vector<IfRowSpec>& rows, std::optional<uint32_t> count = std::nullopt) {
  IfTableBuffer table{};
  StoreU32(table.bytes, count ? *count : static_cast<uint32_t>(rows.size()));
  for (size_t i = 0; i < rows.size() && i < kIfTableMaxRows; ++i) {
    uint8_t* row = table.bytes + kIfTableHeaderSize + i * kIfRowSize;
    const IfRowSpec& wanted = rows[i];
    StoreU32(row + if_row::kIndex, wanted.index);
    StoreU32(row + if_row::kType, wanted.type);
    StoreU32(row + if_row::kPhysAddrLen,
             wanted.addressLength ? *wanted.addressLength : static_cast<uint32_t>(wanted.address.size()));
    std::copy_n(wanted.address.begin(), std::min(wanted.address.size(), if_row::kPhysAddrSize),
                row + if_row::kPhysAddr);
    StoreU32(row + if_row::kDescrLen,
             wanted.descriptionLength ? *wanted.descriptionLength : static_cast<uint32_t>(wanted.description.size()));
    std::copy_n(wanted.description.begin(), std::min(wanted.description.size(), if_row::kDescrSize),
                row + if_row::kDescr);
  }
  return table;
}

inline AdapterRecord MakeAdapter(uint32_t index, uint32_t type, std::vector<uint8_t> address,
                                 const std::string& description) {
  AdapterRecord adapter;
  adapter.index = index;
  adapter.type = type;
  adapter.addressLength = static_cast<uint32_t>(address.size());
  std::copy_n(address.begin(), std::min(address.size(), AdapterRecord::kAddressSize), adapter.address);
  std::copy_n(description.begin(), std::min(description.size(), AdapterRecord::kDescriptionSize), adapter.description);
  return adapter;
}

class FakePlatform : public IdentityPlatform,
                     public VersionProbe,
                     public IpHelperLibrary,
                     public WmiQueries,
                     public DiskDevices,
                     public DiagnosticSink {
 public:
  // Version probe.
  bool versionProbed = true;
  OsVersion version{6, 1, 2};
  // IP Helper.
  bool loadSucceeds = true;
  int loads = 0;
  std::optional<uint32_t> ifTableResult = 0;
  IfTableBuffer ifTable{};
  std::optional<uint32_t> sizingResult = 111;
  uint32_t reportedSize = 2000;
  std::optional<uint32_t> infoResult = 0;
  std::vector<AdapterRecord> adapters;
  // WMI.
  bool wmiAdaptersListed = true;
  std::vector<WmiAdapter> wmiAdapters;
  bool wmiDiskQueried = true;
  std::string wmiDiskSerial;
  // Disks: a drive absent from the map does not open; nullopt fails the query.
  std::map<int, std::optional<StorageDescriptorBuffer>> drives;
  std::optional<uint32_t> mediaId;
  // What was asked, in order.
  std::vector<std::string> calls;
  std::vector<std::string> diagnostics;

  VersionProbe& Version() override { return *this; }
  IpHelperLibrary& IpHelper() override { return *this; }
  WmiQueries& Wmi() override { return *this; }
  DiskDevices& Disks() override { return *this; }
  DiagnosticSink& Diagnostics() override { return *this; }

  bool GetOsVersion(OsVersion& out) override {
    if (versionProbed) out = version;
    return versionProbed;
  }
  bool Load() override {
    ++loads;
    return loadSucceeds;
  }
  std::optional<uint32_t> GetIfTable(IfTableBuffer& buffer) override {
    calls.push_back("GetIfTable");
    buffer = ifTable;
    return ifTableResult;
  }
  std::optional<uint32_t> SizeAdaptersInfo(uint32_t& size) override {
    calls.push_back("SizeAdaptersInfo(" + std::to_string(size) + ")");
    size = reportedSize;
    return sizingResult;
  }
  std::optional<uint32_t> ReadAdaptersInfo(uint32_t size, std::vector<AdapterRecord>& out) override {
    calls.push_back("ReadAdaptersInfo(" + std::to_string(size) + ")");
    if (infoResult && *infoResult == 0) out = adapters;
    return infoResult;
  }
  bool ListNetworkAdapters(std::vector<WmiAdapter>& out) override {
    calls.push_back("ListNetworkAdapters");
    if (wmiAdaptersListed) out = wmiAdapters;
    return wmiAdaptersListed;
  }
  bool FirstDiskSerial(std::string& serial) override {
    calls.push_back("FirstDiskSerial");
    if (wmiDiskQueried) serial = wmiDiskSerial;
    return wmiDiskQueried;
  }
  DriveQuery QueryStorageDescriptor(int drive, StorageDescriptorBuffer& buffer) override {
    calls.push_back("PhysicalDrive" + std::to_string(drive));
    auto found = drives.find(drive);
    if (found == drives.end()) return DriveQuery::kNotOpened;
    if (!found->second) return DriveQuery::kQueryFailed;
    buffer = *found->second;
    return DriveQuery::kAnswered;
  }
  std::optional<uint32_t> QueryMediaIdSerial() override {
    calls.push_back("QueryMediaIdSerial");
    return mediaId;
  }
  void ShowDiagnostic(const std::string& text) override { diagnostics.push_back(text); }
};

// A descriptor whose serial string `serial` sits at `offset`.
inline StorageDescriptorBuffer MakeDescriptor(uint32_t offset, const std::string& serial = std::string()) {
  StorageDescriptorBuffer buffer{};
  if (offset < kStorageDescriptorBufferSize) {
    std::copy_n(serial.begin(), std::min<size_t>(serial.size(), kStorageDescriptorBufferSize - offset),
                buffer.bytes + offset);
  }
  // Written last: the offset field is part of the descriptor, as on a device.
  StoreU32(buffer.bytes + kSerialNumberOffsetField, offset);
  return buffer;
}

}  // namespace stagewell::identity::testing
