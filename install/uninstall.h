// Removal of the installed client by the uninstaller copy (run mode 3).
#pragma once

#include <cstddef>

// Removes the install folder g_szCWD (unless it is a folder that must never
// be deleted), the product and toolbar registry keys under both roots, the
// Start-menu group and the desktop items. Always true.
bool performUninstall();

// Deletes the group's folder in the all-users, then the per-user programs
// folder.
void removeMenuGroup(const char* group);

// Deletes a file of that name on the all-users, then the per-user desktop;
// the result of the second deletion.
bool removeDesktopShortcut(const char* name);

// Whether folder (an absolute path) must never be removed as an install
// folder: a drive or share root, the Windows or system folder, the program
// files folder, the user's profile, or any special shell folder, or a folder
// that holds one of those.
bool isRefusedInstallFolder(const char* folder);

// SHDeleteKeyA of SHLWAPI.DLL, bound on first use (Internet Explorer 4 and
// later ship it). ERROR_PROC_NOT_FOUND when it cannot be bound.
long deleteRegistryTree(void* root, const char* keyPath);
