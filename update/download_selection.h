// Which file of the manifest list downloads next, on the GUI thread between
// downloads (the worker reads the result; see download_state.h).
#pragma once

struct FileDescriptor;

// Makes entry the current download: URL, expected size, a new temporary file
// and the name painted on the file line.
void selectFileForDownload(FileDescriptor* entry);

// True when the list names a stub (type "3") whose stored copy is stale; it
// is then selected. The list is not changed.
bool selectSelfUpdate();

// By process state: the Flash installer, the stub chosen by selectSelfUpdate,
// or in an update the first stale file. The update walk drops every current
// entry from the head of the list (and entries of types "8", "3" and "9"
// without a download), records the primary executable on the way, and leaves
// the selected entry at the head. False, with the selection cleared, when
// nothing is left.
bool selectNextFile();

// False when a client file (other than the stub) is locked: opening it for
// reading and writing without sharing is refused with access denied.
bool checkFilesWritable();

// Resets the progress for a new phase: the bar's range is the bytes to
// download in the current state, nothing done yet.
void initDownloadProgress();

// The bare name of the file being downloaded, or null.
const char* shownFileName();
