// The system report's text, from raw facts: the sections from the processor
// to the system folders, each with its head (dash line, title, dash line) and
// its line formats, in report order. The Win32 side gathers the facts and
// adds the install folder listing, the registry dump and the files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "report/report_writer.h"

struct ReportDriveFacts {
  const char* root;
  const char* type;
  const char* total;
  const char* free;
};

struct ReportMachineFacts {
  const char* cpuName = "";
  const char* cpuSpeed = "0";
  const char* cpuCount = "";
  int family = 0;
  int model = 0;
  int stepping = 0;
  uint32_t standardFeatures = 0;  // EDX of CPUID function 1
  uint32_t extendedFeatures = 0;  // EDX of CPUID function 0x80000001
  const char* osName = "";
  const char* inputLocale = "";
  const char* systemLanguage = "";
  const char* userLanguage = "";
  const char* memory[6] = {"", "", "", "", "", ""};  // total/avail phys, page, virtual
  const char* sockets[8] = {"", "", "", "", "", "", "", ""};
  const ReportDriveFacts* drives = nullptr;
  size_t driveCount = 0;
  const char* tempFolder = "";
  const char* windowsFolder = "";
  const char* systemFolder = "";
};

// Writes sections processor to system folders. comment null: no comments
// section; an empty comment still has one.
void writeReportHead(ReportWriter& report, const ReportMachineFacts& facts, const char* comment);

// The registry section's head and the line for a key that did not open.
void writeRegistryHead(ReportWriter& report);

// One registry value line: the subkey path (each name followed by "\"), the
// value name ("<NO NAME>" when empty), the type tag and the data. Names are
// printed up to nameLength/their bound; string data only up to dataLength,
// so data without a terminator stays inside its buffer.
void writeRegistryValueLine(ReportWriter& report,
                            const char* const* subkeys,
                            size_t depth,
                            const char* name,
                            size_t nameLength,
                            uint32_t type,
                            const uint8_t* data,
                            size_t dataLength);

// Calendar time of one file time; valid false when it did not convert.
struct ReportFileTime {
  bool valid;
  int day, month, year, hour, minute;
};

// One file of the install folder listing: its path line and description.
void writeFileEntry(ReportWriter& report,
                    const char* folder,
                    const char* name,
                    uint32_t attributes,
                    const ReportFileTime& created,
                    const ReportFileTime& accessed,
                    const ReportFileTime& written,
                    uint64_t size);

// Room the sections before the crash files may take at most (each with its
// closing line when cut), so that the crash files keep theirs.
constexpr size_t kReportListingBound = 32000;
constexpr size_t kReportRegistryBound = 8000;
constexpr size_t kReportUserDataBound = 8000;

// Writes the whole report into report (kReportBufferSize bytes, zeroed by the
// caller) and stores its length through pLength: the sections above from
// g_xSystemInfo, the install folder listing, the client's registry key,
// "user.dat" and every unreported crash file byte for byte. Its length, not
// its first zero, ends it. A crash file that does not fit whole is left out
// with a line saying so. Returns the crash files that went in whole
// (kCrashUsageFile and the others of crash_files.h). (Windows only.)
unsigned buildSystemReport(char* report, unsigned* pLength, const char* comment);
