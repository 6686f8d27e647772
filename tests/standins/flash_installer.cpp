// flash_installer: the Flash installer a release lists. Whatever its command
// line, it appends "cmdline=<command line>\tbrowsers=<IEFrame windows open>"
// to the file FLASH_INSTALLER_RECORD, registers the control stand-in
// FLASH_CONTROL_DLL at version FLASH_INSTALL_VERSION through its own
// DllRegisterServer (none when the version is empty or unset), and exits
// with FLASH_INSTALL_EXIT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK countBrowser(HWND window, LPARAM count) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  *reinterpret_cast<int*>(count) += lstrcmpiA(name, "IEFrame") == 0;
  return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* record = getenv("FLASH_INSTALLER_RECORD");
  int browsers = 0;
  EnumWindows(countBrowser, reinterpret_cast<LPARAM>(&browsers));
  if (FILE* f = record && *record ? fopen(record, "a") : nullptr) {
    fprintf(f, "cmdline=%s\tbrowsers=%d\n", GetCommandLineA(), browsers);
    fclose(f);
  }
  const char* version = getenv("FLASH_INSTALL_VERSION");
  const char* control = getenv("FLASH_CONTROL_DLL");
  if (version && *version && control && *control) {
    char setting[96];  // the control reads its version from the C runtime's environment
    snprintf(setting, sizeof setting, "FLASH_STANDIN_VERSION=%s", version);
    _putenv(setting);
    HMODULE library = LoadLibraryA(control);
    auto doRegister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    if (!library || !doRegister || FAILED(doRegister()))
      return 3;
  }
  const char* code = getenv("FLASH_INSTALL_EXIT");
  return code && *code ? atoi(code) : 0;
}
