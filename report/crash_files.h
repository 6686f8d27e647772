// The crash files the game client (and this program's crash filter) leave in
// the install folder, and the lists in the registry that remember, by file
// checksum, which of them were already sent in a bug report.
#pragma once

#include <cstddef>
#include <cstdint>

// True when crc is not on the list of its kind ("usgBugReports",
// "dbgBugReports", "logBugReports"). A list that is missing, too long or not
// a whole number of entries holds nothing.
bool isUsgUnreported(uint32_t crc);
bool isDbgUnreported(uint32_t crc);
bool isLogUnreported(uint32_t crc);

// Path of a file in the install folder ("CWD"), or the bare name when no
// folder is recorded; the current directory is set to the folder. False when
// the path does not fit.
bool crashFilePath(const char* name, char* path, size_t pathSize);

// The crash files as bits, for the files one report carried.
constexpr unsigned kCrashUsageFile = 1;
constexpr unsigned kCrashDebugDumpFile = 2;
constexpr unsigned kCrashLogFile = 4;
constexpr unsigned kAllCrashFiles = 7;

// True when at least one crash file exists, opens, and has a checksum not on
// its list.
bool hasUnreportedCrashFiles();
// Adds the checksum of each of files (crash file bits) that is present and
// unreported to its list.
void recordReportedFiles(unsigned files);
// Deletes the crash files among files; missing ones are skipped.
void deleteCrashFiles(unsigned files = kAllCrashFiles);
