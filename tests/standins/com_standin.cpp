// An in-process COM server built as the Flash control (STANDIN_FLASH),
// "pnglib.dll" (STANDIN_IMAGE) or "MSVBVM60.DLL"; its class goes under
// HKLM\Software\Classes (Wine 8 looks for none under HKCU). Dispatch id 0x84
// answers from the class key's "StandInAnswer", read at each call: N gives
// N << 16, "text" a string, "fail" fails, "nodispatch" refuses IDispatch; the
// Flash control registers FLASH_STANDIN_VERSION there (default "8"). Each
// appends "register|unregister NAME PATH" to the file COMPANION_LOG.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

#if defined(STANDIN_FLASH)
#define STANDIN_CLASS "{D27CDB6E-AE6D-11CF-96B8-444553540000}"
const CLSID kClass = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const char kName[] = "flash";
#elif defined(STANDIN_IMAGE)
#define STANDIN_CLASS "{0D151031-C113-4B27-8952-9BD1E384125A}"
const CLSID kClass = {0x0D151031, 0xC113, 0x4B27, {0x89, 0x52, 0x9B, 0xD1, 0xE3, 0x84, 0x12, 0x5A}};
const char kName[] = "pnglib";
#else
#define STANDIN_CLASS "{D5DE8D20-5BB8-11D1-A1E3-00A0C90F2731}"
const CLSID kClass = {0xD5DE8D20, 0x5BB8, 0x11D1, {0xA1, 0xE3, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x31}};
const char kName[] = "msvbvm60";
#endif
const char kClassKey[] = "Software\\Classes\\CLSID\\" STANDIN_CLASS;
const char kServerKey[] = "Software\\Classes\\CLSID\\" STANDIN_CLASS "\\InprocServer32";

HMODULE g_module;
LONG g_objects;

void readAnswer(char (&answer)[64]) {
  DWORD bytes = sizeof answer;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kClassKey, "StandInAnswer", RRF_RT_REG_SZ, nullptr, answer,
                   &bytes) != ERROR_SUCCESS)
    answer[0] = '\0';
}

void appendCall(const char* call) {
  const char* logPath = getenv("COMPANION_LOG");
  char path[MAX_PATH] = "";
  GetModuleFileNameA(g_module, path, sizeof path);
  if (FILE* log = logPath && *logPath ? fopen(logPath, "a") : nullptr)
    fprintf(log, "%s %s %s\n", call, kName, path), fclose(log);
}

class Control : public IDispatch {
 public:
  Control() { InterlockedIncrement(&g_objects); }
  virtual ~Control() { InterlockedDecrement(&g_objects); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    char answer[64];
    readAnswer(answer);
    bool dispatch = IsEqualIID(iid, IID_IDispatch) && strcmp(answer, "nodispatch") != 0;
    *out = IsEqualIID(iid, IID_IUnknown) || dispatch ? static_cast<IDispatch*>(this) : nullptr;
    return *out ? AddRef(), S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&m_references);
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                   REFIID,
                                   LCID,
                                   WORD flags,
                                   DISPPARAMS* params,
                                   VARIANT* result,
                                   EXCEPINFO*,
                                   UINT*) override {
    if (id != 0x84 || !(flags & DISPATCH_METHOD) || !result || (params && params->cArgs))
      return DISP_E_MEMBERNOTFOUND;
    char answer[64];
    readAnswer(answer);
    if (strcmp(answer, "fail") == 0)
      return E_FAIL;
    bool text = strcmp(answer, "text") == 0;
    result->vt = text ? VT_BSTR : VT_I4;
    if (text)
      result->bstrVal = SysAllocString(L"WIN 9,0,115,0");
    else
      result->lVal = static_cast<LONG>(strtoul(answer, nullptr, 10) << 16);
    return S_OK;
  }

 private:
  LONG m_references = 1;
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory);
    *out = known ? static_cast<IClassFactory*>(this) : nullptr;
    return known ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    Control* control = new Control();
    HRESULT result = control->QueryInterface(iid, out);
    control->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

bool setString(const char* keyPath, const char* name, const char* value) {
  return RegSetKeyValueA(HKEY_LOCAL_MACHINE, keyPath, name, REG_SZ, value,
                         static_cast<DWORD>(strlen(value) + 1)) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH)
    g_module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
  *out = nullptr;
  return IsEqualCLSID(classId, kClass) ? g_factory.QueryInterface(iid, out)
                                       : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_objects == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  appendCall("register");
  char path[MAX_PATH] = "";
  GetModuleFileNameA(g_module, path, sizeof path);
  bool done =
      setString(kServerKey, "", path) && setString(kServerKey, "ThreadingModel", "Apartment");
#if defined(STANDIN_FLASH)
  const char* version = getenv("FLASH_STANDIN_VERSION");
  done = done && setString(kClassKey, "StandInAnswer", version && *version ? version : "8");
#endif
  return done ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  appendCall("unregister");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kServerKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kClassKey);
  return S_OK;
}
