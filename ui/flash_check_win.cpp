#include "ui/flash_check.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdint>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"
#include "ui/flash_version.h"

namespace {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
const CLSID kFlashClass = {0xD27CDB6E,
                           0xAE6D,
                           0x11CF,
                           {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const DISPID kVersionCall = 0x84;
const char kBrowserClass[] = "IEFrame";

enum BrowserMode { BROWSER_CLOSE = 0, BROWSER_FIND = 1 };

// The version answer as a 32-bit integer; false for any other kind of answer
// (text, a floating-point number, nothing), which the control is not known to
// give and which must not be read as a version.
bool integerAnswer(const VARIANT& answer, uint32_t* out) {
  switch (answer.vt) {
    case VT_I4:
    case VT_INT:
      *out = static_cast<uint32_t>(answer.lVal);
      return true;
    case VT_UI4:
    case VT_UINT:
      *out = answer.ulVal;
      return true;
    default:
      return false;
  }
}

// Asks a created control for its version; false when it cannot tell.
bool askVersion(IUnknown* control, uint32_t* version) {
  IDispatch* dispatch = nullptr;
  if (FAILED(control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
      !dispatch) {
    logMessage(LOG_WARNING, "checkFlash: the Flash control has no automation interface");
    return false;
  }
  DISPPARAMS none = {};
  VARIANT answer;
  VariantInit(&answer);
  HRESULT called = dispatch->Invoke(kVersionCall, IID_NULL, 0, DISPATCH_METHOD, &none, &answer,
                                    nullptr, nullptr);
  ULONG references = dispatch->AddRef() - 1;
  dispatch->Release();
  logMessage(LOG_INFO, "Reference count to IDispatch: %u", static_cast<unsigned>(references));
  dispatch->Release();
  bool known = SUCCEEDED(called) && integerAnswer(answer, version);
  if (!known)
    logMessage(LOG_WARNING, "checkFlash: no version answer (0x%08lx, type %u)",
               static_cast<unsigned long>(called), static_cast<unsigned>(answer.vt));
  // A text answer owns a string; the answer is cleared whatever it holds.
  VariantClear(&answer);
  return known;
}

bool isBrowserWindow(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return equalsIgnoreCase(name, kBrowserClass);
}

}  // namespace

bool checkFlash() {
  HRESULT initialized = CoInitialize(nullptr);
  IUnknown* control = nullptr;
  bool passes = false;
  if (SUCCEEDED(CoCreateInstance(kFlashClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&control))) &&
      control) {
    uint32_t version = 0;
    passes = askVersion(control, &version) && flashVersionSuffices(version);
    control->Release();
  }
  if (SUCCEEDED(initialized))
    CoUninitialize();
  return passes;
}

BOOL CALLBACK enumBrowserWindow(HWND window, LPARAM mode) {
  if (mode == BROWSER_FIND)
    return isBrowserWindow(window) ? FALSE : TRUE;
  if (mode == BROWSER_CLOSE && isBrowserWindow(window)) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (process.valid())
      TerminateProcess(process.get(), 0);
  }
  return TRUE;
}

bool isBrowserOpen() {
  return !EnumChildWindows(GetDesktopWindow(), enumBrowserWindow, BROWSER_FIND);
}

void closeBrowsers() {
  EnumChildWindows(GetDesktopWindow(), enumBrowserWindow, BROWSER_CLOSE);
}
