// System libraries loaded at run time by their full path in the system
// folder. A bare name is searched in the program's own folder first, which on
// a first install is the player's download folder: a library of that name
// left there would run inside this program.
#pragma once

#include <windows.h>

// Loads name (a file name such as "RICHED32.DLL") from the system folder.
// Null, with the reason logged, when the path does not fit or the library
// does not load.
HMODULE loadSystemLibrary(const char* name);
