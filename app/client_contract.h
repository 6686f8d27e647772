// What the program assumes of the game client it installs and starts but does
// not contain: the options of the client's command line and the files the
// client leaves in the install folder. The client is a separate program; these
// names are the whole of the agreement with it.
#pragma once

#include <cstddef>

// Command-line options, each with its leading blank, in the order they are
// passed after the program path.
constexpr const char* kClientAffiliateOption = " -a=";  // affiliate identifier, possibly empty
constexpr const char* kClientScreenOption = " -d=";   // "width,height", only with several monitors
constexpr const char* kClientGameROption = " -gr=";   // game server named ".gameR" by the DNS data
constexpr const char* kClientGameLsOption = " -gl=";  // game server named ".gameLS" by the DNS data

// Longest command line the client takes, in characters, the terminator not
// counted.
constexpr size_t kClientCommandLineLimit = 512;

// Files the client leaves in the install folder. The bug report copies them
// byte for byte and deletes the first three once they have been reported.
constexpr const char* kClientUsageFile = "quenzar.usg";   // usage record
constexpr const char* kClientDebugDumpFile = "core.dbg";  // debug dump
constexpr const char* kClientLogFile = "quenzar.log";     // log; the crash filter writes it too
constexpr const char* kClientUserDataFile = "user.dat";   // user data
