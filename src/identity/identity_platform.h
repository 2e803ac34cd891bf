// The platform services the machine identity is built from, one interface per
// source, so the choice rules run on canned records without Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "identity/adapter_records.h"
#include "identity/storage_descriptor.h"

namespace stagewell::identity {

// What the version probe found; platform id 1 is the Windows 9x family, 2 NT.
struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t platformId = 0;
};

class VersionProbe {
 public:
  virtual ~VersionProbe() = default;
  virtual bool GetOsVersion(OsVersion& version) = 0;
};

// IP Helper, loaded at run time. Each query returns nullopt when its entry point
// is missing, else the library's result code.
class IpHelperLibrary {
 public:
  virtual ~IpHelperLibrary() = default;
  // Loads the library unless it is loaded already; false when it cannot be.
  virtual bool Load() = 0;
  // GetIfTable into the fixed buffer, unsorted.
  virtual std::optional<uint32_t> GetIfTable(IfTableBuffer& buffer) = 0;
  // GetAdaptersInfo's sizing call: no buffer, `size` in and out.
  virtual std::optional<uint32_t> SizeAdaptersInfo(uint32_t& size) = 0;
  // GetAdaptersInfo into a zeroed block of `size` bytes; on result 0 the list's
  // records are copied into `adapters` in list order.
  virtual std::optional<uint32_t> ReadAdaptersInfo(uint32_t size, std::vector<AdapterRecord>& adapters) = 0;
};

// One Win32_NetworkAdapter instance; a null MacAddress has no value.
struct WmiAdapter {
  std::string description;
  std::optional<std::string> macAddress;
};

class WmiQueries {
 public:
  virtual ~WmiQueries() = default;
  // "SELECT * FROM Win32_NetworkAdapter": true when the enumeration ran to its end.
  virtual bool ListNetworkAdapters(std::vector<WmiAdapter>& adapters) = 0;
  // SerialNumber of the first Win32_DiskDrive instance (empty when null or on failure).
  virtual bool FirstDiskSerial(std::string& serial) = 0;
};

enum class DriveQuery { kNotOpened, kQueryFailed, kAnswered };

class DiskDevices {
 public:
  virtual ~DiskDevices() = default;
  // Storage device property query on \\.\PhysicalDrive<drive> into the zeroed buffer.
  virtual DriveQuery QueryStorageDescriptor(int drive, StorageDescriptorBuffer& buffer) = 0;
  // Volume serial number of drive C: through the VWIN32 device; nullopt on failure.
  virtual std::optional<uint32_t> QueryMediaIdSerial() = 0;
};

// The standard box with the application's title for the English diagnostics.
class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void ShowDiagnostic(const std::string& text) = 0;
};

class IdentityPlatform {
 public:
  virtual ~IdentityPlatform() = default;
  virtual VersionProbe& Version() = 0;
  virtual IpHelperLibrary& IpHelper() = 0;
  virtual WmiQueries& Wmi() = 0;
  virtual DiskDevices& Disks() = 0;
  virtual DiagnosticSink& Diagnostics() = 0;
};

}  // namespace stagewell::identity
