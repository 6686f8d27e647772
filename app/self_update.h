// The hand-over from an old stub to a newly downloaded one. The old stub, as
// it exits, starts the new one from its temporary file with
//   "<temporary file>" /self:<old stub's file> /target:<install folder>\quenzar.exe
// and the new stub copies itself over both files before it carries on as a
// normal start.
#pragma once

#include <cstddef>

#include "app/run_mode.h"

// The pieces of a hand-over command line. "/target:" is always last, so its
// path runs to the end of the line and may hold blanks; the "/self:" path
// runs up to the blank before "/target:" and may hold blanks too.
struct SelfUpdateCommand {
  bool bTarget;                  // "/target:" is on the line
  char szTarget[kSelfPathSize];  // empty when absent, empty or too long
  bool bSelf;                    // "/self:" is on the line
  char szSelf[kSelfPathSize];    // empty when absent or not usable (below)
};

// Reads a command line into command. The "/self:" path is not usable when it
// is empty, does not fit, "/self:" stands after "/target:", or no blank
// separates it from "/target:"; bSelf still tells that it was given.
void parseSelfUpdateCommand(const char* commandLine, SelfUpdateCommand* command);

// The folder of a target path: the text before its last "\" into out
// (outSize bytes). False (out empty) when there is no "\" or it does not fit.
bool handOverFolder(const char* target, char* out, size_t outSize);

// Finishes a hand-over when the command line carries "/target:" (run on every
// start, before the main window exists). Every failure is logged and the
// start goes on.
void executeSelfUpdateMode(const char* commandLine);

// The same, copying the file at ownPath as if it were this program's own.
void executeSelfUpdateModeFrom(const char* commandLine, const char* ownPath);

// True when this start was a hand-over ("/target:" on its command line). Such
// a run never starts another one: a stub that still differs from the listed
// one after a hand-over would otherwise be fetched and started for ever.
bool isSelfUpdateRun();

// How long each copy keeps trying while the file it replaces is still held
// (the ending old stub's image), in milliseconds. Tests shorten it.
void setSelfUpdateWaitForTesting(unsigned long milliseconds);
