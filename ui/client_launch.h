// Starting the game client, and the host look-ups the start makes.
#pragma once

#include <windows.h>

#include <cstddef>

// Starts the primary executable from the install folder with its command
// line, brings its first window forward and records "lastRun".
void launchClient();

// Dotted address of the last address of host into out (outSize bytes, 16 at
// least): 0 when the host was found, 1 when it was not (out unchanged).
// Winsock is started on first use.
int resolveHostAddress(const char* host, char* out, size_t outSize);

// Brings the first window of thread threadId to the front; true when no
// window of that thread was found.
bool bringThreadWindowForward(DWORD threadId);

// Address of the first default game host that asks for the DNS hand-over.
constexpr const char* kDnsHandOverAddress = "127.0.0.2";
