#include "app/run_mode.h"

#include <cstdlib>
#include <cstring>

#include "app/bounded_text.h"

namespace {

// The text between "/self:" and the blank before `nextMarker`.
bool pathBefore(const char* commandLine,
                const char* nextMarker,
                char* path,
                size_t pathSize,
                const char** afterMarker) {
  if (pathSize)
    path[0] = '\0';
  const char* self = strstr(commandLine, "/self:");
  if (!self)
    return false;
  const char* start = self + strlen("/self:");
  const char* next = strstr(start, nextMarker);
  if (!next || next - start < 2 || next[-1] != ' ')
    return false;
  if (!copyTextPart(path, pathSize, start, static_cast<size_t>(next - 1 - start)))
    return false;
  *afterMarker = next + strlen(nextMarker);
  return true;
}

}  // namespace

int getRunMode(const char* commandLine) {
  if (!strstr(commandLine, "/uninstall"))
    return RUN_MODE_NORMAL;
  return strstr(commandLine, "/self:") ? RUN_MODE_UNINSTALL_COMPLETION : RUN_MODE_UNINSTALL_REQUEST;
}

bool parseUninstallCompletion(const char* commandLine,
                              char* path,
                              size_t pathSize,
                              uint32_t* processId) {
  const char* number = nullptr;
  if (!pathBefore(commandLine, "/pid:", path, pathSize, &number))
    return false;
  char* end = nullptr;
  unsigned long long value = (*number >= '0' && *number <= '9') ? strtoull(number, &end, 10) : 0;
  if (!end || value > 0xFFFFFFFFull || (*end != '\0' && *end != ' ')) {
    path[0] = '\0';
    return false;
  }
  *processId = static_cast<uint32_t>(value);
  return true;
}
