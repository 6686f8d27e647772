// Shell folders the installation uses and the folder browser.
#pragma once

#include <cstddef>

// Whether Windows is of the 9x family (95, 98, Me), whose shell keeps the
// Start menu and the desktop inside the Windows folder.
bool isWindows9xFamily();

// A special folder the shell knows by its CSIDL, into out (outSize bytes,
// 260 expected). False, out emptied, when the shell does not know it.
bool getSpecialFolder(int csidl, char* out, size_t outSize);

// The Start menu's programs folder: Windows folder + "\Start Menu\Programs"
// on the 9x family (for both variants), else the per-user or all-users one.
bool getProgramsFolder(char* out, size_t outSize, bool allUsers);
// The desktop folder: Windows folder + "\Desktop" on the 9x family, else the
// per-user or all-users desktop directory.
bool getDesktopFolder(char* out, size_t outSize, bool allUsers);

// The program files folder: "C:\Program Files" on the Windows 9x family,
// else the shell's CSIDL_PROGRAM_FILES (falling back to "C:\Program Files"
// where the shell does not know it). out holds outSize bytes (260 expected).
bool getProgramFilesFolder(char* out, size_t outSize);

// Shows the shell's folder browser (no owner, desktop as root). True when
// the user picked a file-system folder: path (260 bytes) then holds its full
// path, possibly empty when the shell gave none. False on Cancel, with path
// holding whatever the browser left in it as its display name.
bool chooseInstallFolder(char* path, size_t pathSize, const char* title);
