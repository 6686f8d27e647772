#include <windows.h>

#include <cstring>

#include "app/bounded_text.h"
#include "app/client_contract.h"
#include "app/registry.h"
#include "app/win_handles.h"
#include "report/crash_files.h"
#include "report/language_name.h"
#include "report/report_dumps.h"
#include "report/system_info.h"
#include "report/system_report.h"
#include "update/file_crc.h"

namespace {

// Opens a file for its report section (no sharing: a client that still
// writes it keeps it out); its size through size.
HANDLE openReportFile(const char* path, DWORD* size) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    *size = GetFileSize(file, nullptr);
    if (*size == INVALID_FILE_SIZE)
      *size = 0;
  }
  return file;
}

void appendHead(ReportWriter& report, const char* contentsFormat, DWORD size) {
  report.appendText("\r\n\r\n------------");
  report.appendFormat(contentsFormat, static_cast<unsigned>(size));
  report.appendText("\r\n------------\r\n");
}

// Appends an open file's bytes; what does not fit is counted as left out.
// True when every byte went in.
bool appendBytes(ReportWriter& report, HANDLE file, DWORD size) {
  static char chunk[16384];
  DWORD left = size;
  while (left > 0) {
    DWORD want = left < sizeof chunk ? left : sizeof chunk;
    if (report.room() == 0) {
      report.leaveOut(left);
      return false;
    }
    DWORD got = 0;
    if (!ReadFile(file, chunk, want, &got, nullptr) || got == 0)
      return false;
    report.append(chunk, got);
    left -= got;
  }
  return !report.isCut();
}

// Appends a file's bytes under its contents line; a file that does not open
// (missing, or held open without sharing) leaves its section out. A file
// larger than what is left is read as far as it fits and the rest counted as
// left out.
void appendFile(ReportWriter& report, const char* path, const char* contentsFormat) {
  DWORD size = 0;
  ScopedHandle file(openReportFile(path, &size));
  if (!file.valid())
    return;
  appendHead(report, contentsFormat, size);
  appendBytes(report, file.get(), size);
}

// Appends a crash file only whole: the bug report records and deletes what
// it carried, so a file without room stays on disk for a later report and
// the report says so in one line. True when the file went in whole.
bool appendWholeCrashFile(ReportWriter& report,
                          const char* path,
                          const char* tag,
                          const char* contentsFormat) {
  DWORD size = 0;
  ScopedHandle file(openReportFile(path, &size));
  if (!file.valid())
    return false;
  // The section: its head (two dash lines around the contents line) and
  // the bytes.
  char head[96];
  formatText(head, sizeof head, contentsFormat, static_cast<unsigned>(size));
  const size_t needed = 2 * 16 + strlen(head) + size;
  if (report.isCut() || needed > report.room()) {
    report.appendFormat("\r\n\r\n[%s file of %u bytes kept for a later report]\r\n", tag,
                        static_cast<unsigned>(size));
    return false;
  }
  appendHead(report, contentsFormat, size);
  return appendBytes(report, file.get(), size);
}

}  // namespace

unsigned buildSystemReport(char* text, unsigned* pLength, const char* comment) {
  ReportWriter report(text, kReportBufferSize);
  const SystemInfo& info = g_xSystemInfo;

  ReportMachineFacts facts;
  facts.cpuName = info.getCpuName();
  facts.cpuSpeed = info.getCpuSpeed();
  facts.cpuCount = info.getCpuCount();
  facts.family = info.getCpu().getFamily();
  facts.model = info.getCpu().getModel();
  facts.stepping = info.getCpu().getStepping();
  facts.standardFeatures = info.getCpu().getRegisters().aulFunction1[3];
  facts.extendedFeatures = info.getCpu().getRegisters().ulExtendedFeatures;
  facts.osName = info.getOsName();
  char layout[KL_NAMELENGTH] = "";
  if (!GetKeyboardLayoutNameA(layout))
    layout[0] = '\0';
  layout[KL_NAMELENGTH - 1] = '\0';
  facts.inputLocale = layout;
  char systemLanguage[kLanguageNameSize];
  char userLanguage[kLanguageNameSize];
  languageName(GetSystemDefaultLCID(), systemLanguage, sizeof systemLanguage);
  languageName(GetUserDefaultLCID(), userLanguage, sizeof userLanguage);
  facts.systemLanguage = systemLanguage;
  facts.userLanguage = userLanguage;
  for (int i = 0; i < 6; ++i)
    facts.memory[i] = info.getMemory().get(i);
  for (int i = 0; i < 8; ++i)
    facts.sockets[i] = info.getSockets().get(i);
  ReportDriveFacts drives[26];
  const DriveList& list = info.getDrives();
  for (size_t i = 0; i < list.count(); ++i)
    drives[i] = {list.at(i).szRoot, list.at(i).szType, list.at(i).szTotal, list.at(i).szFree};
  facts.drives = drives;
  facts.driveCount = list.count();
  char temp[261] = "";
  char windows[261] = "";
  char system[261] = "";
  DWORD expanded = ExpandEnvironmentStringsA("%TMP%", temp, sizeof temp);
  if (expanded == 0 || expanded > sizeof temp)
    temp[0] = '\0';
  temp[sizeof temp - 1] = '\0';
  if (GetWindowsDirectoryA(windows, sizeof windows) >= sizeof windows)
    windows[0] = '\0';
  if (GetSystemDirectoryA(system, sizeof system) >= sizeof system)
    system[0] = '\0';
  facts.tempFolder = temp;
  facts.windowsFolder = windows;
  facts.systemFolder = system;
  writeReportHead(report, facts, comment);

  // The listing, the registry dump and "user.dat" are bounded, so that the
  // crash files after them always find their room.
  char folder[MAX_PATH] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
  report.beginSection(kReportListingBound);
  if (folder[0] != '\0')
    listFolder(folder, report);
  report.endSection();

  report.beginSection(kReportRegistryBound);
  writeRegistryHead(report);
  {
    ScopedRegKey key;
    LONG error = RegOpenKeyA(HKEY_CURRENT_USER, PRODUCT_KEY, key.receive());
    if (error != ERROR_SUCCESS) {
      report.appendFormat("\r\nUnable to examine HKEY_CURRENT_USER\\%s (error %u)\r\n\r\n",
                          PRODUCT_KEY, static_cast<unsigned>(error));
    } else {
      report.appendFormat("\r\nHKEY_CURRENT_USER\\%s\r\n\r\n", PRODUCT_KEY);
      dumpRegistryKey(key.get(), report);
    }
  }
  report.endSection();

  char path[MAX_PATH + 16];
  report.beginSection(kReportUserDataBound);
  if (crashFilePath(kClientUserDataFile, path, sizeof path))
    appendFile(report, path, "\r\nUSER.DAT Contents (%u bytes)");
  report.endSection();
  unsigned included = 0;
  struct {
    const char* name;
    bool (*unreported)(uint32_t);
    const char* tag;
    const char* contents;
    unsigned bit;
  } const crashFiles[] = {
      {kClientUsageFile, isUsgUnreported, "USG", "\r\nUSG Contents (%u bytes)", kCrashUsageFile},
      {kClientDebugDumpFile, isDbgUnreported, "DBG", "\r\nDBG Contents (%u bytes)",
       kCrashDebugDumpFile},
      {kClientLogFile, isLogUnreported, "LOG", "\r\nLOG Contents (%u bytes)", kCrashLogFile},
  };
  for (const auto& crash : crashFiles) {
    if (!crashFilePath(crash.name, path, sizeof path))
      continue;
    {
      ScopedHandle probe(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!probe.valid())
        continue;
    }
    if (crash.unreported(calculateFileCrc(path, false)) &&
        appendWholeCrashFile(report, path, crash.tag, crash.contents))
      included |= crash.bit;
  }
  *pLength = static_cast<unsigned>(report.finish());
  return included;
}
