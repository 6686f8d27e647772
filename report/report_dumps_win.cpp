#include "report/report_dumps.h"

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"
#include "report/system_report.h"

namespace {

// Subkey names from the first key down to the one being dumped. Nesting
// deeper than the stack holds is not followed.
const size_t kSubkeyDepth = 32;
char g_aszSubkeys[kSubkeyDepth][260];
const char* g_apSubkeys[kSubkeyDepth];
size_t g_nSubkeyDepth = 0;

ReportFileTime calendar(const FILETIME& time) {
  ReportFileTime out = {};
  SYSTEMTIME system = {};
  if (FileTimeToSystemTime(&time, &system)) {
    out.valid = true;
    out.day = system.wDay;
    out.month = system.wMonth;
    out.year = system.wYear;
    out.hour = system.wHour;
    out.minute = system.wMinute;
  }
  return out;
}

}  // namespace

int listFolder(const char* folder, ReportWriter& report) {
  char pattern[MAX_PATH];
  if (!formatText(pattern, sizeof pattern, "%s\\*", folder))
    return 0;
  WIN32_FIND_DATAA entry = {};
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE)
    return 0;
  int result = 1;
  do {
    // The name is bounded by its field even if the system left it open.
    char name[MAX_PATH];
    copyTextPart(name, sizeof name, entry.cFileName,
                 boundedLength(entry.cFileName, sizeof entry.cFileName));
    // A junction or other link may lead out of the install folder: the
    // listing names neither it nor what it points to.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name[0] == '.')
        continue;
      char inner[MAX_PATH];
      if (!formatText(inner, sizeof inner, "%s\\%s", folder, name) || !listFolder(inner, report)) {
        result = 0;
        break;
      }
    } else {
      writeFileEntry(report, folder, name, entry.dwFileAttributes, calendar(entry.ftCreationTime),
                     calendar(entry.ftLastAccessTime), calendar(entry.ftLastWriteTime),
                     (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return result;
}

void dumpRegistryKey(HKEY key, ReportWriter& report) {
  DWORD values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  char name[260];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = sizeof name;
    FILETIME written;
    if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, &written) !=
        ERROR_SUCCESS)
      break;
    if (g_nSubkeyDepth >= kSubkeyDepth)
      continue;
    ScopedRegKey subkey;
    if (RegOpenKeyA(key, name, subkey.receive()) != ERROR_SUCCESS)
      continue;
    copyText(g_aszSubkeys[g_nSubkeyDepth], sizeof g_aszSubkeys[0], name);
    g_apSubkeys[g_nSubkeyDepth] = g_aszSubkeys[g_nSubkeyDepth];
    ++g_nSubkeyDepth;
    dumpRegistryKey(subkey.get(), report);
    --g_nSubkeyDepth;
  }
  for (DWORD index = 0; index < values; ++index) {
    char valueName[256] = "";
    BYTE data[2048] = {};
    DWORD nameLength = sizeof valueName;
    DWORD type = 0;
    DWORD dataLength = sizeof data;
    LONG result =
        RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type, data, &dataLength);
    if (result != ERROR_SUCCESS && result != ERROR_INSUFFICIENT_BUFFER)
      logMessage(LOG_FAIL, "Line:%d 0 based index = %d, retValue = %d, ValueLen = %d", 1453,
                 static_cast<int>(index), static_cast<int>(result), static_cast<int>(nameLength));
    if (result == ERROR_MORE_DATA) {
      // Data larger than the buffer: the line keeps the value's name and
      // type (asked again without the data, as the system need not fill
      // them in this case) and shows no data.
      nameLength = sizeof valueName;
      valueName[0] = '\0';
      RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type, nullptr, nullptr);
      dataLength = 0;
    }
    if (dataLength > sizeof data)
      dataLength = sizeof data;
    writeRegistryValueLine(report, g_apSubkeys, g_nSubkeyDepth, valueName, sizeof valueName, type,
                           data, dataLength);
  }
}
