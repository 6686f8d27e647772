// crash_check: the crash filter seen from outside the crashing process. Alone
// it runs every case below (exit code 0 when all pass); "crash MODE LINES
// EXPECTED" is the child: the real filter, LINES lines logged and saved to
// EXPECTED, then an access violation on the window thread ("window"), a worker
// ("worker"), or a worker while the log's lock is held ("locked"). The parent
// deciphers "quenzar.log" (in "CWD", else the child's current folder) with the
// operator tool's own code: the log text, its terminator and zero padding.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/log.h"
#include "app/log_lock.h"
#include "app/registry.h"
#include "report/crash_filter.h"
#include "tests/test_files.h"
#include "tools/velorin-report/report_decoder.h"

namespace {

volatile int* g_pNowhere = nullptr;
constexpr const char* kMoveFolderVariable = "CRASH_CHECK_MOVE_FOLDER";

DWORD WINAPI crashHere(void*) {
  *g_pNowhere = 1;
  return 0;
}

int runChild(const char* mode, int lines, const char* expectedPath) {
  SetUnhandledExceptionFilter(crashFilter);
  rememberCrashFolder();
  clearLog();
  // The filter uses the folder it was given at start: moving "CWD" now must
  // not move the log (the parent's cases only; a scenario's crash keeps it).
  char folder[MAX_PATH] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
  if (folder[0] && GetEnvironmentVariableA(kMoveFolderVariable, nullptr, 0))
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD,
                        (std::string(folder) + "\\moved-after-start").c_str());
  const LogLevel levels[] = {LOG_INFO, LOG_WARNING, LOG_FAIL};
  for (int i = 0; i < lines; ++i)
    logMessage(levels[i % 3], "crash check line %d of %d", i + 1, lines);
  FILE* expected = fopen(expectedPath, "wb");
  if (!expected)
    return 3;
  fwrite(logText(), 1, logLength(), expected);
  fclose(expected);
  if (strcmp(mode, "window") == 0)
    crashHere(nullptr);
  if (strcmp(mode, "locked") == 0)
    lockLog();  // a filter that waited for the lock would hang the process
  HANDLE worker = CreateThread(nullptr, 0, crashHere, nullptr, 0, nullptr);
  if (!worker)
    return 4;
  WaitForSingleObject(worker, 30000);
  CloseHandle(worker);
  return 5;  // the crash did not end the process
}

// Empty when the case holds, else why not. Without "CWD" the log must land
// in the child's current folder.
std::string runCase(const char* mode, int lines, bool setInstallFolder, const std::string& folder) {
  const std::string logPath = folder + "\\quenzar.log", expectedPath = folder + "\\expected.txt";
  if (setInstallFolder)
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder.c_str());
  else
    deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD);
  DeleteFileA(expectedPath.c_str());
  char self[MAX_PATH], commandLine[2 * MAX_PATH + 64];
  GetModuleFileNameA(nullptr, self, sizeof self);
  snprintf(commandLine, sizeof commandLine, "\"%s\" crash %s %d \"%s\"", self, mode, lines,
           expectedPath.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                      setInstallFolder ? nullptr : folder.c_str(), &startup, &process))
    return "child did not start";
  DWORD waited = WaitForSingleObject(process.hProcess, 60000), exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (waited != WAIT_OBJECT_0)
    return "child still running after 60 s (the filter waited?)";
  if (exitCode != EXCEPTION_ACCESS_VIOLATION)
    return "child ended with code " + std::to_string(exitCode);
  std::string text, cipher = readFile(logPath);
  return decipherProgramLog(cipher, &text) && text == readFile(expectedPath)
             ? ""
             : "quenzar.log (" + std::to_string(cipher.size()) + " bytes) is not the log sealed";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "crash") == 0)
    return runChild(argv[2], atoi(argv[3]), argv[4]);
  char savedCwd[MAX_PATH] = "";
  const std::string folder = tempPath("velorin_crash_check");
  CreateDirectoryA(folder.c_str(), nullptr);
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, savedCwd, sizeof savedCwd);
  SetEnvironmentVariableA(kMoveFolderVariable, "1");  // inherited by every child
  // In order, in one folder: the empty log after the full one shows that a
  // later crash replaces the file whole.
  const struct {
    const char* name;
    const char* mode;
    int lines;
    bool setInstallFolder;
  } cases[] = {{"window thread, install folder", "window", 40, true},
               {"worker thread, current folder", "worker", 7, false},
               {"worker while the log lock is held", "locked", 12, true},
               {"full log (128000-byte buffer)", "window", 5000, true},
               {"empty log after a full one", "window", 0, true}};
  int failures = 0;
  for (const auto& c : cases) {
    const std::string why = runCase(c.mode, c.lines, c.setInstallFolder, folder);
    printf("%s %s%s%s\n", why.empty() ? "ok  " : "FAIL", c.name, why.empty() ? "" : ": ",
           why.c_str());
    failures += !why.empty();
  }
  if (savedCwd[0])
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, savedCwd);
  else
    deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD);
  DeleteFileA((folder + "\\quenzar.log").c_str());
  DeleteFileA((folder + "\\expected.txt").c_str());
  RemoveDirectoryA(folder.c_str());
  printf("%d of %zu crash cases failed\n", failures, sizeof cases / sizeof cases[0]);
  return failures ? 1 : 0;
}
