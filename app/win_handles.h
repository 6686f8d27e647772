// Owners for Win32 handles: each closes its handle exactly once, when it goes
// out of scope, and cannot be copied.
#pragma once

#include <windows.h>

template <typename Traits>
class ScopedHandleT {
 public:
  using Handle = typename Traits::Handle;
  ScopedHandleT() = default;
  explicit ScopedHandleT(Handle handle) : m_handle(handle) {}
  ~ScopedHandleT() { reset(); }
  ScopedHandleT(const ScopedHandleT&) = delete;
  ScopedHandleT& operator=(const ScopedHandleT&) = delete;

  bool valid() const { return Traits::isValid(m_handle); }
  Handle get() const { return m_handle; }
  Handle* receive() {
    reset();
    return &m_handle;
  }
  void reset(Handle handle = Traits::invalid()) {
    if (Traits::isValid(m_handle))
      Traits::close(m_handle);
    m_handle = handle;
  }

 private:
  Handle m_handle = Traits::invalid();
};

struct KernelHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE; others: NULL
  using Handle = HANDLE;
  static Handle invalid() { return nullptr; }
  static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(Handle h) { CloseHandle(h); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle invalid() { return nullptr; }
  static bool isValid(Handle h) { return h != nullptr; }
  static void close(Handle h) { RegCloseKey(h); }
};

struct GdiObjectTraits {  // fonts, bitmaps, brushes (not selected into a DC)
  using Handle = HGDIOBJ;
  static Handle invalid() { return nullptr; }
  static bool isValid(Handle h) { return h != nullptr; }
  static void close(Handle h) { DeleteObject(h); }
};

struct MemoryDcTraits {  // CreateCompatibleDC
  using Handle = HDC;
  static Handle invalid() { return nullptr; }
  static bool isValid(Handle h) { return h != nullptr; }
  static void close(Handle h) { DeleteDC(h); }
};

struct FindHandleTraits {  // FindFirstFileA
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static bool isValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void close(Handle h) { FindClose(h); }
};

struct ModuleTraits {  // LoadLibraryA
  using Handle = HMODULE;
  static Handle invalid() { return nullptr; }
  static bool isValid(Handle h) { return h != nullptr; }
  static void close(Handle h) { FreeLibrary(h); }
};

using ScopedHandle = ScopedHandleT<KernelHandleTraits>;
using ScopedGdiObject = ScopedHandleT<GdiObjectTraits>;
using ScopedMemoryDc = ScopedHandleT<MemoryDcTraits>;
using ScopedRegKey = ScopedHandleT<RegKeyTraits>;
using ScopedFindHandle = ScopedHandleT<FindHandleTraits>;
