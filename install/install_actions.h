// What accepting the install folder creates: the stub copy, the "CWD" record,
// the browser toolbar button, the Start-menu group and the desktop shortcut.
#pragma once

// Installs into g_szCWD. False only when the stub copy could not be written
// whole (the partial copy is deleted); every other step is best effort.
bool performInstallActions();

// Copies the file at source to destination; a copy that could not be written
// whole is deleted. True when destination is the source itself (nothing to
// copy) or the copy is complete.
bool copyStubFile(const char* source, const char* destination);
