// Shell folders the installation uses and the folder browser.
#pragma once

#include <cstddef>

// The program files folder: "C:\Program Files" on the Windows 9x family,
// else the shell's CSIDL_PROGRAM_FILES (falling back to "C:\Program Files"
// where the shell does not know it). out holds outSize bytes (260 expected).
bool getProgramFilesFolder(char* out, size_t outSize);

// Shows the shell's folder browser (no owner, desktop as root). True when
// the user picked a file-system folder: path (260 bytes) then holds its full
// path, possibly empty when the shell gave none. False on Cancel, with path
// holding whatever the browser left in it as its display name.
bool chooseInstallFolder(char* path, size_t pathSize, const char* title);
