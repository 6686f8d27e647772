// The Flash installer of the manifest (type "9"), downloaded into the
// temporary file during the flash installation state.
#pragma once

#include <windows.h>

// Whether the installer was started (or refused) in this run. It is run at
// most once: an installer that ends well without leaving a Flash the check
// accepts would otherwise be fetched and run again without end.
bool flashInstallerHasRun();

// Runs the downloaded installer when it has the size and checksum its manifest
// entry names, waits for it and deletes it. Exit code 0: discovery starts
// again; another exit code, or an installer that cannot be started: the run
// ends. A download that does not match is deleted unrun and the window polls
// for Flash instead.
void runFlashInstaller(HWND window);
