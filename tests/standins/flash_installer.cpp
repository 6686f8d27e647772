// flash_installer: stands in for the Flash installer a release lists. Whatever
// its command line, it
//   - appends one line to the file named by FLASH_INSTALLER_RECORD:
//     "cmdline=<its command line>\tbrowsers=<IEFrame windows open>";
//   - registers the Flash control stand-in FLASH_CONTROL_DLL at version
//     FLASH_INSTALL_VERSION through the control's own DllRegisterServer (none
//     when the version is empty or unset);
//   - exits with FLASH_INSTALL_EXIT (0 when unset).
// The scenario runs it itself to put a Flash version in place; velorin.exe
// runs the copy the service serves, which inherits the stub's environment.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK countBrowser(HWND window, LPARAM count) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, "IEFrame") == 0)
    ++*reinterpret_cast<int*>(count);
  return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* record = getenv("FLASH_INSTALLER_RECORD");
  if (record && *record) {
    int browsers = 0;
    EnumWindows(countBrowser, reinterpret_cast<LPARAM>(&browsers));
    if (FILE* f = fopen(record, "a")) {
      fprintf(f, "cmdline=%s\tbrowsers=%d\n", GetCommandLineA(), browsers);
      fclose(f);
    }
  }
  const char* version = getenv("FLASH_INSTALL_VERSION");
  const char* control = getenv("FLASH_CONTROL_DLL");
  if (version && *version && control && *control) {
    // The control reads its version from the C runtime's environment.
    char setting[96];
    snprintf(setting, sizeof setting, "FLASH_STANDIN_VERSION=%s", version);
    _putenv(setting);
    HMODULE library = LoadLibraryA(control);
    using Register = HRESULT(STDAPICALLTYPE*)();
    Register doRegister = library ? reinterpret_cast<Register>(reinterpret_cast<void*>(
                                        GetProcAddress(library, "DllRegisterServer")))
                                  : nullptr;
    if (!doRegister || FAILED(doRegister()))
      return 3;
    FreeLibrary(library);
  }
  const char* code = getenv("FLASH_INSTALL_EXIT");
  return code && *code ? atoi(code) : 0;
}
