// flash_installer: appends "cmdline=..\tbrowsers=<IEFrame windows open>" to
// FLASH_INSTALLER_RECORD, registers the control stand-in FLASH_CONTROL_DLL at
// version FLASH_INSTALL_VERSION (when set; exit 3 when that fails) and exits
// with FLASH_INSTALL_EXIT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static BOOL CALLBACK countBrowser(HWND window, LPARAM count) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  *reinterpret_cast<int*>(count) += lstrcmpiA(name, "IEFrame") == 0;
  return TRUE;
}

static std::string environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string record = environment("FLASH_INSTALLER_RECORD");
  std::string version = environment("FLASH_INSTALL_VERSION"),
              control = environment("FLASH_CONTROL_DLL");
  int browsers = 0;
  EnumWindows(countBrowser, reinterpret_cast<LPARAM>(&browsers));
  if (FILE* f = record.empty() ? nullptr : fopen(record.c_str(), "a"))
    fprintf(f, "cmdline=%s\tbrowsers=%d\n", GetCommandLineA(), browsers), fclose(f);
  if (!version.empty() && !control.empty()) {
    // The control reads its version from the C runtime's environment.
    _putenv(("FLASH_STANDIN_VERSION=" + version).c_str());
    HMODULE library = LoadLibraryA(control.c_str());
    auto doRegister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    if (!library || !doRegister || FAILED(doRegister()))
      return 3;
  }
  return atoi(environment("FLASH_INSTALL_EXIT").c_str());
}
