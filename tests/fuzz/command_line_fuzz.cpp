// Fuzzes what the program reads from its command line and start-up registry
// values; outputs stay terminated in their buffers, a refusal leaves them
// empty.
#include <cstdint>
#include <string>

#include "app/launch_record.h"
#include "app/relative_path.h"
#include "app/run_mode.h"
#include "app/self_update.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* line = text.c_str();  // stops at an embedded zero, as a command line would

  getRunMode(line);  // plain substring searches: the sanitizers watch the reads

  char self[kSelfPathSize];
  uint32_t pid = 0;
  if (parseUninstallCompletion(line, self, sizeof self, &pid)) {
    require(terminated(self, sizeof self) && self[0] != '\0' && strstr(line, self) != nullptr);
  } else {
    require(self[0] == '\0');
  }

  // The target ends the line; the old stub's path stands in it before.
  SelfUpdateCommand command;
  parseSelfUpdateCommand(line, &command);
  require(terminated(command.szTarget, sizeof command.szTarget) &&
          terminated(command.szSelf, sizeof command.szSelf));
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
    require(terminated(record.szPath, sizeof record.szPath));
  else
    require(strcmp(record.szPath, "before") == 0);

  // "lastSRun" reads back as written, or the reported-crash lists restart;
  // four signed 32-bit numbers and three blanks take at most 47 characters.
  StubVersion version = parseLastSRun(line);
  char formatted[48];
  require(formatStubVersion(version, formatted, sizeof formatted));
  StubVersion reread = parseLastSRun(formatted);
  require(memcmp(reread.part, version.part, sizeof version.part) == 0);
  return 0;
}
