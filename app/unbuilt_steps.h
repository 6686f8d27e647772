// Steps of a start and of a shutdown whose work is not part of this build
// yet. Each is called at its place in WinMain and logs a warning that it did
// nothing, so a run's log never claims work that was not done.
#pragma once

#include <cstdint>

#include "app/process_control.h"
#include "app/stub_expansion.h"
#include "install/uninstall.h"

// Writes the files carried in the executable's tail. Without a payload
// reader it writes nothing and says so (EXPAND_NOT_BUILT).
ExpandResult expandStub(const char* ownPath);
// Builds the install-tracking addresses.
void buildTrackingUrls();
// Finishes a self-update hand-over when the command line carries "/target:".
void executeSelfUpdateMode(const char* commandLine);
// The affiliate identifier carried in the executable's tail; "" without a
// payload reader.
const char* affiliateIdentifier();
// Sends the install-finish notification; its signed address is not built
// here, so nothing is sent.
void sendInstallFinish();
// On systems before Windows 2000, puts the carried runtime library in place.
void placeAtlRuntime();
// Deletes the files written by expandStub from the install folder.
void deleteExpandedFiles();
