// The control-hosting library (ATL.DLL) behind the window's web pages: where
// this run takes it from, and what of it the run leaves behind. Windows 98,
// Me and NT 4.0 have none of their own, so the stub carries one ("atl98.dll",
// written beside it at start); from Windows 2000 on the system's serves.
// All of it runs on the GUI thread.
#pragma once

#include <windows.h>

// True on the NT family from Windows 2000 (major version 5) on.
bool isModernNt();

// Before Windows 2000: renames the carried "ATL98.DLL" in the current
// directory to "ATL.DLL" and remembers that folder as the library's place.
// A folder that already has an "ATL.DLL" keeps it; the rename then fails and
// is not counted as this run's. From Windows 2000 on it does nothing.
void placeAtlRuntime();

// Loads the library by full path, never by bare name (a bare name is looked
// up in the program's own folder first, which on a first install is the
// player's download folder): the system folder's ATL.DLL from Windows 2000
// on; before that the copy this run placed, or the carried "ATL98.DLL" itself
// when the folder had an "ATL.DLL" of its own. Loaded once per run; null
// (logged) when it cannot be loaded.
HMODULE loadAtlRuntime();

// Frees the library if this run loaded it.
void freeAtlRuntime();

// True when the current directory is the folder where this run renamed the
// carried copy to "ATL.DLL" and that copy has not been deleted yet.
bool atlPlacedHere();

// Copies the folder holding this run's "ATL.DLL" into out; false when the
// run placed none or has deleted it.
bool placedAtlFolder(char* out, size_t outSize);

// Deletes "ATL.DLL" in the current directory (call only when atlPlacedHere):
// 0, or the Windows error code when it could not be deleted.
DWORD deletePlacedAtlRuntime();
