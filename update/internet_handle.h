// Owner of a WinINet handle (internet, connection or request handle); Win32
// files only.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "app/win_handles.h"

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle invalid() { return nullptr; }
  static bool isValid(Handle h) { return h != nullptr; }
  static void close(Handle h) { InternetCloseHandle(h); }
};

using ScopedInternetHandle = ScopedHandleT<InternetHandleTraits>;
