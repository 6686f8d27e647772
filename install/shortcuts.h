// Shell links (.lnk) of the installed client: the Start-menu group and the
// desktop shortcut. COM must be initialised on the calling thread (WinMain
// does that once at start-up).
#pragma once

#include <windows.h>

// Writes a shell link at linkPath that starts target with arguments (null
// for none) from the target's folder. The COM result: negative on failure.
HRESULT createShortcut(const char* target,
                       const char* linkPath,
                       const char* description,
                       const char* arguments);

// Creates "<programs>\<group>\<shortcut>.lnk" for "<folder>\<fileName>" in the
// per-user or all-users programs folder, creating the group folder. 0 always;
// a path that does not fit is logged and nothing is created.
int createMenuShortcut(const char* group,
                       const char* folder,
                       const char* fileName,
                       const char* shortcutName,
                       bool allUsers,
                       const char* arguments);

// Creates (or, with remove, deletes) "<all-users desktop>\<shortcut>.lnk" for
// "<folder>\<fileName>" without arguments. 0 always.
int createDesktopShortcut(const char* folder,
                          const char* fileName,
                          const char* shortcutName,
                          bool remove);
