// Owners for every Win32 handle kind the program holds: one template, one alias
// per kind with its close function. Move-only; get() and put() (out-pointer).
// The internet handle's owner closes through the loaded WinINet: net/win32_wininet.h.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace stagewell::win32 {

template <typename T, typename Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : m_value(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  T get() const { return m_value; }
  explicit operator bool() const { return m_value != Traits::Empty(); }
  T release() { return std::exchange(m_value, Traits::Empty()); }
  void reset(T value = Traits::Empty()) {
    if (m_value != Traits::Empty()) Traits::Close(m_value);
    m_value = value;
  }
  // For APIs that return the handle through an out-parameter.
  T* put() {
    reset();
    return &m_value;
  }

 private:
  T m_value = Traits::Empty();
};

struct HKeyTraits {
  static HKEY Empty() { return nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};
struct ModuleTraits {
  static HMODULE Empty() { return nullptr; }
  static void Close(HMODULE module) { FreeLibrary(module); }
};
struct HandleTraits {
  static HANDLE Empty() { return nullptr; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileTraits {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FindTraits {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { FindClose(handle); }
};
struct GlobalTraits {
  static HGLOBAL Empty() { return nullptr; }
  static void Close(HGLOBAL block) { GlobalFree(block); }
};
struct BstrTraits {
  static BSTR Empty() { return nullptr; }
  static void Close(BSTR text) { SysFreeString(text); }
};
struct WindowTraits {
  static HWND Empty() { return nullptr; }
  static void Close(HWND window) { DestroyWindow(window); }
};

using UniqueHKey = UniqueResource<HKEY, HKeyTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;  // threads, events: null is empty
using UniqueFile = UniqueResource<HANDLE, FileTraits>;      // CreateFile: INVALID_HANDLE_VALUE is empty
using UniqueFind = UniqueResource<HANDLE, FindTraits>;
using UniqueGlobal = UniqueResource<HGLOBAL, GlobalTraits>;
using UniqueWindow = UniqueResource<HWND, WindowTraits>;
using UniqueBstr = UniqueResource<BSTR, BstrTraits>;

// COM interface pointer, released once.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : m_interface(std::exchange(other.m_interface, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      m_interface = std::exchange(other.m_interface, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  I* get() const { return m_interface; }
  I* operator->() const { return m_interface; }
  explicit operator bool() const { return m_interface != nullptr; }
  void reset() {
    if (m_interface) std::exchange(m_interface, nullptr)->Release();
  }
  I** put() {
    reset();
    return &m_interface;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  I* m_interface = nullptr;
};

}  // namespace stagewell::win32
