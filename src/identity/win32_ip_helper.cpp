#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "identity/win32_ip_helper.h"

#include <cstddef>
#include <cstring>

#include "common/win32_proc_address.h"
#include "common/win32_system_library.h"

namespace stagewell::identity {
namespace {

// Our byte offsets must be the system's.
static_assert(sizeof(MIB_IFROW) == kIfRowSize);
static_assert(offsetof(MIB_IFTABLE, table) == kIfTableHeaderSize);
static_assert(offsetof(MIB_IFROW, dwIndex) == if_row::kIndex);
static_assert(offsetof(MIB_IFROW, dwType) == if_row::kType);
static_assert(offsetof(MIB_IFROW, dwPhysAddrLen) == if_row::kPhysAddrLen);
static_assert(offsetof(MIB_IFROW, bPhysAddr) == if_row::kPhysAddr);
static_assert(offsetof(MIB_IFROW, dwDescrLen) == if_row::kDescrLen);
static_assert(offsetof(MIB_IFROW, bDescr) == if_row::kDescr);
static_assert(sizeof(IP_ADAPTER_INFO::Description) == AdapterRecord::kDescriptionSize);
static_assert(sizeof(IP_ADAPTER_INFO::Address) == AdapterRecord::kAddressSize);

using GetIfTableFunction = decltype(&::GetIfTable);
using GetAdaptersInfoFunction = decltype(&::GetAdaptersInfo);

AdapterRecord CopyAdapter(const IP_ADAPTER_INFO& info) {
  AdapterRecord adapter;
  std::memcpy(adapter.description, info.Description, sizeof adapter.description);
  adapter.addressLength = info.AddressLength;
  std::memcpy(adapter.address, info.Address, sizeof adapter.address);
  adapter.index = info.Index;
  adapter.type = info.Type;
  return adapter;
}

// Follows Next only while it points at a whole record inside the block, and at
// most as many records as the block can hold, so a bad link cannot loop or leave it.
void CopyAdapterList(const BYTE* block, size_t size, std::vector<AdapterRecord>& adapters) {
  if (size < sizeof(IP_ADAPTER_INFO)) return;
  const BYTE* last = block + (size - sizeof(IP_ADAPTER_INFO));
  const size_t maxRecords = size / sizeof(IP_ADAPTER_INFO);
  auto inside = [&](const IP_ADAPTER_INFO* info) {
    auto at = reinterpret_cast<const BYTE*>(info);
    return at >= block && at <= last;
  };
  for (auto info = reinterpret_cast<const IP_ADAPTER_INFO*>(block);
       info && inside(info) && adapters.size() < maxRecords; info = info->Next) {
    adapters.push_back(CopyAdapter(*info));
  }
}

}  // namespace

bool Win32IpHelper::Load() {
  if (!m_module) m_module = win32::LoadSystemLibrary(L"iphlpapi.dll");
  return static_cast<bool>(m_module);
}

std::optional<uint32_t> Win32IpHelper::GetIfTable(IfTableBuffer& buffer) {
  auto getIfTable = win32::ProcAddress<GetIfTableFunction>(m_module.get(), "GetIfTable");
  if (!getIfTable) return std::nullopt;
  ULONG size = sizeof buffer.bytes;
  return getIfTable(reinterpret_cast<PMIB_IFTABLE>(buffer.bytes), &size, FALSE);
}

std::optional<uint32_t> Win32IpHelper::SizeAdaptersInfo(uint32_t& size) {
  auto getAdaptersInfo = win32::ProcAddress<GetAdaptersInfoFunction>(m_module.get(), "GetAdaptersInfo");
  if (!getAdaptersInfo) return std::nullopt;
  ULONG length = size;
  DWORD result = getAdaptersInfo(nullptr, &length);
  size = length;
  return result;
}

std::optional<uint32_t> Win32IpHelper::ReadAdaptersInfo(uint32_t size, std::vector<AdapterRecord>& adapters) {
  auto getAdaptersInfo = win32::ProcAddress<GetAdaptersInfoFunction>(m_module.get(), "GetAdaptersInfo");
  if (!getAdaptersInfo) return std::nullopt;
  win32::UniqueGlobal block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
  if (!block) return static_cast<uint32_t>(ERROR_NOT_ENOUGH_MEMORY);
  // A fixed block's handle is its address.
  auto* bytes = static_cast<BYTE*>(block.get());
  ULONG length = size;
  DWORD result = getAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(bytes), &length);
  if (result == NO_ERROR) CopyAdapterList(bytes, size, adapters);
  return result;
}

}  // namespace stagewell::identity
