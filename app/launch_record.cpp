#include "app/launch_record.h"

#include <cstdlib>
#include <cstring>

#include "app/bounded_text.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

const char* skipBlanks(const char* p) {
  while (isBlank(*p))
    ++p;
  return p;
}

// Reads one unsigned number the way "%lu" does: a minus sign negates, and the
// value wraps to 32 bits, so "-1" reads as 0xFFFFFFFF. Returns false when no digits follow; p then
// stays where it was.
bool readNumber(const char** p, uint32_t* value) {
  const char* start = skipBlanks(*p);
  char* end = nullptr;
  unsigned long long v = strtoull(start, &end, 10);
  if (end == start)
    return false;
  *value = static_cast<uint32_t>(v);
  *p = end;
  return true;
}

}  // namespace

bool parseLastRun(const char* text, LaunchRecord* record) {
  const char* p = skipBlanks(text);
  const char* end = p;
  while (*end && !isBlank(*end))
    ++end;
  if (end == p)
    return false;
  char path[kLaunchPathSize];
  if (!copyTextPart(path, sizeof path, p, static_cast<size_t>(end - p)))
    return false;
  memcpy(record->szPath, path, sizeof path);
  p = end;
  if (readNumber(&p, &record->ulPid))
    readNumber(&p, &record->ulCrc);
  return true;
}

StubVersion parseLastSRun(const char* text) {
  StubVersion version = {
      {kVersionPartUnknown, kVersionPartUnknown, kVersionPartUnknown, kVersionPartUnknown}};
  const char* p = text;
  for (uint32_t& part : version.part) {
    if (!readNumber(&p, &part))
      break;
  }
  return version;
}

bool isStubVersionChanged(const StubVersion& stored, const StubVersion& current) {
  if (stored.part[3] == kVersionPartUnknown)
    return false;
  return memcmp(stored.part, current.part, sizeof stored.part) != 0;
}

bool formatStubVersion(const StubVersion& version, char* out, size_t outSize) {
  return formatText(out, outSize, "%d %d %d %d", static_cast<int>(version.part[0]),
                    static_cast<int>(version.part[1]), static_cast<int>(version.part[2]),
                    static_cast<int>(version.part[3]));
}
