// State of the file being downloaded, shared by the window and the worker.
#pragma once

#include <cstddef>

constexpr size_t kTempFileSize = 260;
constexpr size_t kPercentSize = 16;

// Temporary file the current download is written to; for a stub download it
// is the new stub that the shutdown starts. Written on the GUI thread.
extern char g_szTempFile[kTempFileSize];
// Path of the client's program (manifest type "1"), relative to the install
// folder; empty while no manifest named it. Written on the GUI thread.
extern char g_szPrimaryExe[260];
// Percent text beside the progress bar ("42%"), written by the download
// worker; g_bPercentChanged is cleared when the window has painted it.
extern char g_szPercent[kPercentSize];
extern volatile bool g_bPercentChanged;
// Bytes of the whole update, and of them already received.
extern volatile unsigned long g_nProgressTotal;
extern volatile unsigned long g_nProgressDone;

struct FileDescriptor;

// The current download, chosen by the selection on the GUI thread before a
// worker starts and read by that worker: the entry whose URL is fetched, the
// entry whose name the window paints (null when none), and the bytes expected.
extern FileDescriptor* g_pxDownloadFile;
extern FileDescriptor* volatile g_pxShownFile;
extern int g_nDownloadSize;
// The received (and, for a compressed entry, inflated) file: g_nDownloadSize
// bytes, written by the worker and read by the window only after
// WM_DOWNLOAD_FINISHED 1; freed by the window once stored (free()).
extern unsigned char* g_pDownloadBuffer;
