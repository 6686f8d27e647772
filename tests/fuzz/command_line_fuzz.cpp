// Fuzzes everything the program reads from its command line and from the
// start-up registry values: run mode, uninstall completion and self-update
// commands, relative path normalisation and the "lastRun"/"lastSRun" records.
// Besides the sanitizers, it checks the parsers' own promises: outputs stay
// terminated within their buffers and a refused input leaves them empty.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/launch_record.h"
#include "app/relative_path.h"
#include "app/run_mode.h"
#include "app/self_update.h"

namespace {

void require(bool condition) {
  if (!condition)
    abort();
}

void requireTerminated(const char* buffer, size_t size) {
  require(memchr(buffer, '\0', size) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* line = text.c_str();  // stops at an embedded zero, as a command line would

  getRunMode(line);  // plain substring searches: the sanitizers watch the reads

  char self[kSelfPathSize];
  uint32_t pid = 0;
  if (parseUninstallCompletion(line, self, sizeof self, &pid)) {
    requireTerminated(self, sizeof self);
    require(self[0] != '\0' && strstr(line, self) != nullptr);
  } else {
    require(self[0] == '\0');
  }

  // The hand-over's paths: each whole and terminated, or empty; the target is
  // the line's end, and the old stub's path stands in the line before it.
  SelfUpdateCommand command;
  parseSelfUpdateCommand(line, &command);
  requireTerminated(command.szTarget, sizeof command.szTarget);
  requireTerminated(command.szSelf, sizeof command.szSelf);
  if (command.szTarget[0]) {
    size_t length = strlen(command.szTarget);
    require(command.bTarget && length <= strlen(line) &&
            strcmp(line + strlen(line) - length, command.szTarget) == 0);
  }
  if (command.szSelf[0])
    require(command.bSelf && command.bTarget && strstr(line, command.szSelf) != nullptr);
  char folder[24];
  if (handOverFolder(line, folder, sizeof folder))
    require(strncmp(line, folder, strlen(folder)) == 0 && line[strlen(folder)] == '\\');
  else
    require(folder[0] == '\0');

  char normalized[32];
  if (normalizeRelativePath(line, normalized, sizeof normalized))
    require(strlen(normalized) <= strlen(line));
  else
    require(normalized[0] == '\0');

  LaunchRecord record = {"before", 1, 2};
  if (parseLastRun(line, &record))
    requireTerminated(record.szPath, sizeof record.szPath);
  else
    require(strcmp(record.szPath, "before") == 0);

  // What one start writes to "lastSRun" the next start must read back as the
  // same version, or the reported-crash lists would start afresh every time.
  // Four signed 32-bit numbers and three blanks take at most 47 characters.
  StubVersion version = parseLastSRun(line);
  char formatted[48];
  require(formatStubVersion(version, formatted, sizeof formatted));
  StubVersion reread = parseLastSRun(formatted);
  require(memcmp(reread.part, version.part, sizeof version.part) == 0);
  return 0;
}
