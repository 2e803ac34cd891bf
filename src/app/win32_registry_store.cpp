// The product is a 32-bit installation: the 64-bit build reads the same
// 32-bit registry view that the product wrote.
#include "app/win32_registry_store.h"

#include <windows.h>

#include "common/win32_handles.h"

namespace stagewell::app {
namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RootKey::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RootKey::kLocalMachine:
      break;
  }
  return HKEY_LOCAL_MACHINE;
}

#ifdef _WIN64
constexpr REGSAM kQueryAccess = KEY_QUERY_VALUE | KEY_WOW64_32KEY;
#else
constexpr REGSAM kQueryAccess = KEY_QUERY_VALUE;
#endif

}  // namespace

bool Win32RegistryStore::QueryValue(RootKey root, const std::string& subKey, const std::string& valueName,
                                    unsigned char* buffer, uint32_t& size) {
  win32::UniqueHKey key;
  if (RegOpenKeyExA(RootHandle(root), subKey.c_str(), 0, kQueryAccess, key.put()) != ERROR_SUCCESS) return false;
  DWORD bytes = size;
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, buffer, &bytes) != ERROR_SUCCESS) return false;
  size = bytes;
  return true;
}

}  // namespace stagewell::app
