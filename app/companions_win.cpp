#include "app/companions.h"

#include <windows.h>
#include <objbase.h>

#include "app/bounded_text.h"
#include "app/companion_path.h"
#include "app/log.h"
#include "app/win_handles.h"

namespace {

const char kImageLibrary[] = "pnglib.dll";
const char kRuntimeLibrary[] = "MSVBVM60.DLL";

// {0D151031-C113-4B27-8952-9BD1E384125A}
const CLSID kImageClass = {0x0D151031,
                           0xC113,
                           0x4B27,
                           {0x89, 0x52, 0x9B, 0xD1, 0xE3, 0x84, 0x12, 0x5A}};
// {D5DE8D20-5BB8-11D1-A1E3-00A0C90F2731}
const CLSID kRuntimeClass = {0xD5DE8D20,
                             0x5BB8,
                             0x11D1,
                             {0xA1, 0xE3, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x31}};

using ScopedModule = ScopedHandleT<ModuleTraits>;
using RegistrationExport = HRESULT(STDAPICALLTYPE*)();

bool canCreate(const CLSID& classId) {
  HRESULT initialized = CoInitialize(nullptr);
  IUnknown* object = nullptr;
  HRESULT created = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&object));
  bool available = SUCCEEDED(created) && object;
  if (object)
    object->Release();
  // Only a CoInitialize that succeeded (S_OK, or S_FALSE when COM was up
  // already) is balanced; the start keeps COM up for the whole run anyway.
  if (SUCCEEDED(initialized))
    CoUninitialize();
  return available;
}

// Calls a registration export of the library at path. False when the library
// does not load.
bool callExport(const char* path, const char* exportName) {
  ScopedModule library(LoadLibraryA(path));
  if (!library.valid()) {
    logMessage(LOG_INFO, "registerCompanionComponents: %s not loaded (error %u)", path,
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  RegistrationExport function = reinterpret_cast<RegistrationExport>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), exportName)));
  if (function) {
    HRESULT result = function();
    logMessage(LOG_INFO, "registerCompanionComponents: %s %s: 0x%08lx", path, exportName,
               static_cast<unsigned long>(result));
  }
  return true;
}

// The image library is taken only from the stub's own folder: a bare name
// would run the registration code of whatever "pnglib.dll" the search order
// finds first, for example one left in the folder the stub was downloaded to.
int callImageExport(const char* exportName) {
  char ownPath[MAX_PATH] = "";
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  if (length == 0 || length >= sizeof ownPath ||
      !besideOwnExecutable(ownPath, kImageLibrary, path, sizeof path))
    return -1;
  return callExport(path, exportName) ? 0 : -1;
}

}  // namespace

bool isImageClassAvailable() {
  return canCreate(kImageClass);
}

bool isRuntimeClassAvailable() {
  return canCreate(kRuntimeClass);
}

int registerImageComponent() {
  return callImageExport("DllRegisterServer");
}

int unregisterImageComponent() {
  return callImageExport("DllUnregisterServer");
}

void installRuntimeComponent() {
  char systemFolder[MAX_PATH + 1] = "";
  char destination[MAX_PATH + 16] = "";
  UINT length = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
  if (length == 0 || length >= sizeof systemFolder ||
      !formatText(destination, sizeof destination, "%s\\%s", systemFolder, kRuntimeLibrary))
    return;
  char ownPath[MAX_PATH] = "";
  char source[MAX_PATH] = "";
  length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  // The copy comes only from the stub's own folder, and never replaces a
  // runtime already in the system folder: other programs load that file, and
  // an older or foreign copy must not overwrite a newer one.
  if (length > 0 && length < sizeof ownPath &&
      besideOwnExecutable(ownPath, kRuntimeLibrary, source, sizeof source) &&
      !CopyFileA(source, destination, TRUE))
    logMessage(LOG_INFO, "registerCompanionComponents: %s not copied (error %u)", source,
               static_cast<unsigned>(GetLastError()));
  callExport(destination, "DllRegisterServer");
}

void registerCompanionComponents() {
  bool image = isImageClassAvailable();
  if (image) {
    unregisterImageComponent();
    image = isImageClassAvailable();
  }
  if (!image) {
    registerImageComponent();
    isImageClassAvailable();
  }
  if (!isRuntimeClassAvailable()) {
    installRuntimeComponent();
    isRuntimeClassAvailable();
  }
}
