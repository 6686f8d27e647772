// The two records a start reads back from earlier runs: "lastRun" (the last
// launch of the game client) and "lastSRun" (the stub version that ran last).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kLaunchPathSize = 260;

struct LaunchRecord {
  char szPath[kLaunchPathSize];  // the client executable's stored (relative) path
  uint32_t ulPid;                // process id of that launch
  uint32_t ulCrc;                // checksum of the executable at launch
};

// Parses "lastRun" = "<path> <pid> <checksum>" (path without blanks). Fields
// that are missing or not numbers leave the record's earlier values, as a
// scan of "%s %lu %lu" would. A path token that does not fit in szPath is
// refused: the record is left untouched and false returned.
bool parseLastRun(const char* text, LaunchRecord* record);

// A stub version: major, minor, build, revision.
struct StubVersion {
  uint32_t part[4];
};

// "Unknown" version part: what a missing number in "lastSRun" reads as.
constexpr uint32_t kVersionPartUnknown = 0xFFFFFFFFu;

// Parses "lastSRun" = "%lu %lu %lu %lu". Parts that are missing stay unknown.
StubVersion parseLastSRun(const char* text);

// Whether a stored version differs from the running one in a way that starts
// the reported-crash lists afresh: never when the stored fourth number is
// missing or -1 (no version recorded), else when any part differs.
bool isStubVersionChanged(const StubVersion& stored, const StubVersion& current);

// Formats a version as "lastSRun" stores it ("%d %d %d %d").
bool formatStubVersion(const StubVersion& version, char* out, size_t outSize);
