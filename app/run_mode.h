// What a start of the program is for, decided from its command line.
#pragma once

#include <cstddef>
#include <cstdint>

enum RunMode {
  RUN_MODE_NORMAL = 0,                // install, update, launch
  RUN_MODE_UNINSTALL_REQUEST = 1,     // "/uninstall": ask, then remove the client
  RUN_MODE_UNINSTALL_COMPLETION = 3,  // temporary copy finishing an uninstall
};

// 0 without "/uninstall"; 3 when "/self:" is there too; else 1. Plain,
// case-sensitive substring searches anywhere in the text.
int getRunMode(const char* commandLine);

// Size of the buffer that holds the "/self:" path of an uninstall completion.
constexpr size_t kSelfPathSize = 516;

// Reads "/self:<path> /pid:<number>" of an uninstall completion: the path runs
// from after "/self:" up to the blank before "/pid:". Returns false (and
// leaves the path empty) when either marker is missing, "/pid:" does not
// follow the path, the path is empty or does not fit in pathSize bytes, or
// the number is not a decimal 32-bit value.
bool parseUninstallCompletion(const char* commandLine,
                              char* path,
                              size_t pathSize,
                              uint32_t* processId);
