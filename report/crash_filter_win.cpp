#include "report/crash_filter.h"

#include <cstring>

#include "app/client_contract.h"
#include "app/log.h"
#include "app/settings_keys.h"
#include "report/report_cipher.h"

namespace {

// Everything the filter needs lives here, so it never touches the heap of a
// process that may have died of a corrupt heap. The snapshot holds the log
// text and its terminator; the cipher buffer holds its padded length.
uint8_t g_crashSnapshot[kLogBufferSize];
uint8_t g_crashCipher[kLogBufferSize + 64];
char g_szCrashFolder[MAX_PATH];
char g_szCrashPath[MAX_PATH + 16];

}  // namespace

// The registry is read here, never in the filter: its calls allocate and
// take the system's locks, which a crashed process may hold.
void rememberCrashFolder() {
  g_szCrashFolder[0] = '\0';
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, PRODUCT_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  DWORD type = 0;
  DWORD size = sizeof g_szCrashFolder - 1;
  LONG result = RegQueryValueExA(key, VALUE_CWD, nullptr, &type,
                                 reinterpret_cast<BYTE*>(g_szCrashFolder), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
      size >= sizeof g_szCrashFolder) {
    g_szCrashFolder[0] = '\0';
    return;
  }
  g_szCrashFolder[size] = '\0';
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS*) {
  // The log is read without its lock: the faulting thread may hold it. A
  // copy bounded by the buffer's size keeps the text steady while it is
  // enciphered even if another thread is still appending.
  const char* text = logText();
  size_t length = 0;
  while (length < kLogBufferSize - 1 && text[length] != '\0')
    ++length;
  memcpy(g_crashSnapshot, text, length);
  g_crashSnapshot[length] = 0;
  const size_t cipherLength =
      encryptReportInto(g_crashSnapshot, length + 1, g_crashCipher, sizeof g_crashCipher);

  const char* target = kClientLogFile;
  if (g_szCrashFolder[0] != '\0') {
    size_t folderLength = strlen(g_szCrashFolder);
    size_t nameLength = strlen(kClientLogFile);
    if (folderLength + 1 + nameLength < sizeof g_szCrashPath) {
      memcpy(g_szCrashPath, g_szCrashFolder, folderLength);
      g_szCrashPath[folderLength] = '\\';
      memcpy(g_szCrashPath + folderLength + 1, kClientLogFile, nameLength + 1);
      target = g_szCrashPath;
    }
    SetCurrentDirectoryA(g_szCrashFolder);
  }

  if (cipherLength != 0) {
    HANDLE file = CreateFileA(target, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, g_crashCipher, static_cast<DWORD>(cipherLength), &written, nullptr);
      CloseHandle(file);
    }
  }
  return EXCEPTION_EXECUTE_HANDLER;
}
