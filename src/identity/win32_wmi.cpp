#include <windows.h>
#include <objbase.h>
#include <wbemcli.h>

#include "identity/win32_wmi.h"

#include <functional>
#include <memory>

#include "common/win32_handles.h"
#include "common/win32_text.h"
#include "identity/wmi_enumeration.h"

namespace stagewell::identity {

bool g_bComSecurityDone = false;

namespace {

using win32::UniqueBstr;

UniqueBstr MakeBstr(const wchar_t* text) { return UniqueBstr(SysAllocString(text)); }

// COM for this thread for one query; uninitialised only when the start succeeded.
class ComApartment {
 public:
  ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(m_result)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool Started() const { return SUCCEEDED(m_result); }

 private:
  HRESULT m_result;
};

// A string property in the ANSI code page; nullopt when it is null or not a string.
std::optional<std::string> StringProperty(IWbemClassObject& object, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::optional<std::string> text;
  if (SUCCEEDED(object.Get(name, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR) {
    text = value.bstrVal ? win32::AnsiFromWide(value.bstrVal) : std::string();
  }
  VariantClear(&value);
  return text;
}

enum class ComStart { kRequired, kNotExamined };

// Connects to ROOT\CIMV2, runs `query` and hands each object to `onObject`
// until it returns false or the enumeration ends. False when a set-up step fails.
bool RunWmiQuery(const wchar_t* query, ComStart comStart, const std::function<bool(IWbemClassObject&)>& onObject) {
  ComApartment apartment;
  if (comStart == ComStart::kRequired && !apartment.Started()) return false;
  if (!InitComSecurityOnce()) return false;

  // Declared so that they are released services first, then locator, then enumerator.
  win32::ComPtr<IEnumWbemClassObject> enumerator;
  win32::ComPtr<IWbemLocator> locator;
  win32::ComPtr<IWbemServices> services;
  if (FAILED(
          CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.put_void()))) {
    return false;
  }
  {
    UniqueBstr path = MakeBstr(L"ROOT\\CIMV2");
    if (!path) return false;
    if (FAILED(locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put()))) {
      return false;
    }
  }
  if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    return false;
  }
  {
    UniqueBstr language = MakeBstr(L"WQL");
    UniqueBstr text = MakeBstr(query);
    if (!language || !text) return false;
    if (FAILED(services->ExecQuery(language.get(), text.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, enumerator.put()))) {
      return false;
    }
  }

  EnumerateObjects([&] {
    win32::ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    HRESULT result = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
    if (FAILED(result)) return NextResult::kFailure;
    if (returned == 0 || !object) return NextResult::kEnd;
    return onObject(*object.get()) ? NextResult::kObject : NextResult::kEnd;
  });
  return true;
}

}  // namespace

bool InitComSecurityOnce() {
  if (g_bComSecurityDone) return true;
  // On failure the caller's apartment is uninitialised as its query ends.
  HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (FAILED(result)) return false;
  g_bComSecurityDone = true;
  return true;
}

bool Win32Wmi::ListNetworkAdapters(std::vector<WmiAdapter>& adapters) {
  std::vector<WmiAdapter> listed;
  bool ran = RunWmiQuery(L"SELECT * FROM Win32_NetworkAdapter", ComStart::kRequired, [&](IWbemClassObject& object) {
    WmiAdapter adapter;
    adapter.description = StringProperty(object, L"Description").value_or(std::string());
    adapter.macAddress = StringProperty(object, L"MacAddress");
    listed.push_back(std::move(adapter));
    return true;
  });
  if (ran) adapters.insert(adapters.end(), listed.begin(), listed.end());
  return ran;
}

bool Win32Wmi::FirstDiskSerial(std::string& serial) {
  // Only the first disk delivered counts.
  return RunWmiQuery(L"SELECT SerialNumber FROM Win32_DiskDrive", ComStart::kNotExamined,
                     [&](IWbemClassObject& object) {
                       serial = StringProperty(object, L"SerialNumber").value_or(std::string());
                       return false;
                     });
}

}  // namespace stagewell::identity
