// The game client's command line and the game-server names the service's DNS
// data can give it. Portable: the launch hands in what it read from the
// system and the DNS records it received.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/client_contract.h"

constexpr size_t kGameServerNameSize = 260;
// DNS record type of an address record.
constexpr uint16_t kDnsTypeA = 0x0001;

struct GameServers {
  char szGr[kGameServerNameSize];  // ".gameR" server, default host until DNS names one
  char szGl[kGameServerNameSize];  // ".gameLS" server, likewise
  bool bFound;                     // a record named at least one of them
};

// What the client is started with.
struct ClientLaunchInput {
  const char* szProgram;    // stored path of the primary executable
  const char* szAffiliate;  // may be empty: "-a=" then stays with nothing after it
  bool bScreenSize;         // more than one monitor: pass the primary screen's size
  int nScreenWidth;
  int nScreenHeight;
  const GameServers* pServers;  // null when no DNS hand-over took place
};

// Size of the buffer the command line is built in: the limit + terminator.
constexpr size_t kClientCommandLineSize = kClientCommandLineLimit + 1;

// Builds "<program> -a=<affiliate>[ -d=w,h][ -gr=..][ -gl=..]" in out
// (outSize bytes, at most kClientCommandLineSize used), the program in double
// quotes when its path holds a blank or a tab. An argument that does
// not fit whole within kClientCommandLineLimit characters is left out with a
// log line, never cut. False (out emptied) only when the program path does
// not fit.
bool buildClientCommandLine(const ClientLaunchInput& input, char* out, size_t outSize);

// Looks at one DNS record of the game domain: an address record whose name
// contains ".gameR" names gr (the part before the first ".gameR"); otherwise
// one containing ".gameLS" names gl. A match sets bFound. A name part that
// does not fit leaves the server as it was and is logged.
void applyGameServerRecord(const char* name, uint16_t type, GameServers* servers);

// Walks a DNS answer list in order; Record has pNext, pName and wType as the
// system's DNS records do. Later matches overwrite earlier ones.
template <typename Record>
void findGameServers(const Record* first, GameServers* servers) {
  for (const Record* record = first; record; record = record->pNext)
    if (record->pName)
      applyGameServerRecord(record->pName, record->wType, servers);
}
