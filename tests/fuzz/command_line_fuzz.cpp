// Fuzzes what the program reads from its command line and start-up registry
// values: outputs stay terminated in their buffers, a refusal leaves them empty.
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
  require(parseUninstallCompletion(line, self, sizeof self, &pid) ? terminated(self, sizeof self)
                                                                  : self[0] == '\0');

  SelfUpdateCommand command;
  parseSelfUpdateCommand(line, &command);
  require(terminated(command.szTarget, sizeof command.szTarget) &&
          terminated(command.szSelf, sizeof command.szSelf));
  char folder[24], normalized[32];
  if (!handOverFolder(line, folder, sizeof folder))
    require(folder[0] == '\0');
  if (!normalizeRelativePath(line, normalized, sizeof normalized))
    require(normalized[0] == '\0');

  LaunchRecord record = {"before", 1, 2};
  if (parseLastRun(line, &record))
    require(terminated(record.szPath, sizeof record.szPath));
  else
    require(strcmp(record.szPath, "before") == 0);

  // "lastSRun" reads back as written; four signed numbers and three blanks fit 47.
  StubVersion version = parseLastSRun(line);
  char formatted[48];
  require(formatStubVersion(version, formatted, sizeof formatted));
  StubVersion reread = parseLastSRun(formatted);
  require(memcmp(reread.part, version.part, sizeof version.part) == 0);
  return 0;
}
