#include "app/self_update.h"

#include <cstring>

#include "app/bounded_text.h"

namespace {

constexpr char kTargetMarker[] = "/target:";
constexpr char kSelfMarker[] = "/self:";

}  // namespace

void parseSelfUpdateCommand(const char* commandLine, SelfUpdateCommand* command) {
  *command = SelfUpdateCommand{};
  const char* target = strstr(commandLine, kTargetMarker);
  const char* self = strstr(commandLine, kSelfMarker);
  command->bTarget = target != nullptr;
  command->bSelf = self != nullptr;
  if (!target)
    return;
  // A target cut short would name another file: too long means none.
  copyText(command->szTarget, sizeof command->szTarget, target + strlen(kTargetMarker));
  if (!self)
    return;
  const char* start = self + strlen(kSelfMarker);
  if (start >= target || target[-1] != ' ' || target - 1 == start)
    return;
  copyTextPart(command->szSelf, sizeof command->szSelf, start,
               static_cast<size_t>(target - 1 - start));
}

bool handOverFolder(const char* target, char* out, size_t outSize) {
  const char* slash = strrchr(target, '\\');
  if (!slash) {
    if (outSize)
      out[0] = '\0';
    return false;
  }
  return copyTextPart(out, outSize, target, static_cast<size_t>(slash - target));
}
