#include "ui/client_command_line.h"

#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"

namespace {

// Appends one argument whole or not at all; option names it in the log.
void appendArgument(char* out, size_t limitSize, const char* option, const char* value) {
  char argument[kClientCommandLineSize];
  if (!formatText(argument, sizeof argument, "%s%s", option, value) ||
      !appendText(out, limitSize, argument))
    logMessage(LOG_WARNING, "launchClient: argument%s left out: the command line is full", option);
}

bool takeNamePart(char* server, const char* name, const char* marker) {
  const char* found = strstr(name, marker);
  if (!found)
    return false;
  char part[kGameServerNameSize];
  if (!copyTextPart(part, sizeof part, name, static_cast<size_t>(found - name))) {
    logMessage(LOG_WARNING, "launchClient: game server name too long in '%s'", name);
    return true;
  }
  copyText(server, kGameServerNameSize, part);  // same size: always fits
  return true;
}

}  // namespace

bool buildClientCommandLine(const ClientLaunchInput& input, char* out, size_t outSize) {
  size_t limitSize = outSize < kClientCommandLineSize ? outSize : kClientCommandLineSize;
  // A path with a blank is quoted, so that the client reads its arguments
  // after the whole path (the start itself names the program apart).
  const bool quoted = strchr(input.szProgram, ' ') || strchr(input.szProgram, '\t');
  if (!formatText(out, limitSize, quoted ? "\"%s\"" : "%s", input.szProgram)) {
    logMessage(LOG_FAIL, "launchClient: program path too long for the command line");
    return false;
  }
  appendArgument(out, limitSize, kClientAffiliateOption, input.szAffiliate);
  if (input.bScreenSize) {
    char size[32];
    formatText(size, sizeof size, "%d,%d", input.nScreenWidth, input.nScreenHeight);
    appendArgument(out, limitSize, kClientScreenOption, size);
  }
  const GameServers* servers = input.pServers;
  if (servers && servers->bFound) {
    if (servers->szGr[0])
      appendArgument(out, limitSize, kClientGameROption, servers->szGr);
    if (servers->szGl[0])
      appendArgument(out, limitSize, kClientGameLsOption, servers->szGl);
  }
  return true;
}

void applyGameServerRecord(const char* name, uint16_t type, GameServers* servers) {
  if (!name || type != kDnsTypeA)
    return;
  if (takeNamePart(servers->szGr, name, ".gameR") || takeNamePart(servers->szGl, name, ".gameLS"))
    servers->bFound = true;
}
