#include "update/download_worker.h"

#include <commctrl.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/window_link.h"
#include "update/download_rules.h"
#include "update/download_state.h"
#include "update/file_selection.h"
#include "update/internet_handle.h"
#include "update/manifest.h"

namespace {

const DWORD kReadBlock = 4096;
const DWORD kResumePauseMs = 5000;
const unsigned kMaxResumes = 0x10000;
const DWORD kOpenFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;

// The pause is waited in slices so that a stop request ends it early.
const DWORD kPauseSliceMs = 100;
DWORD g_dwResumePauseMs = kResumePauseMs;
// Set by the window when it no longer wants the running download.
volatile LONG g_lStopRequested;

bool stopRequested() {
  return InterlockedCompareExchange(const_cast<LONG*>(&g_lStopRequested), 0, 0) != 0;
}

// Waits before a resume; false when the window asked the worker to stop.
bool pauseBeforeResume() {
  for (DWORD waited = 0; waited < g_dwResumePauseMs; waited += kPauseSliceMs) {
    if (stopRequested())
      return false;
    DWORD left = g_dwResumePauseMs - waited;
    Sleep(left < kPauseSliceMs ? left : kPauseSliceMs);
  }
  return !stopRequested();
}

void endRun(const char* text) {
  MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
  g_nProcessState = PS_SHUTDOWN;
  PostMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
}

void postFinished(WPARAM succeeded) {
  PostMessageA(g_hMainWnd, WM_DOWNLOAD_FINISHED, succeeded, 0);
}

bool queryText(HINTERNET request, DWORD what, char* out, DWORD outSize) {
  memset(out, 0, outSize);
  DWORD length = outSize - 1;
  return HttpQueryInfoA(request, what, out, &length, nullptr) != FALSE;
}

// Progress after a read: the bar and the percent text run over the whole
// phase, not over this file. Both figures are updated after every read, but
// the window is asked to redraw only what it would show differently, and not
// faster than a screen refreshes: the bar once it has moved by 1/512 of its
// range (under a pixel of its 403) and 16 ms have passed, or when the file is
// complete; the percent text when its number changes. Under Wine each
// redraw request costs the worker a round trip through the GUI thread's
// painting; asked after every 4096-byte read, it made a 16 MB download six
// times slower than the same reads without it.
struct ProgressShown {
  unsigned long position = 0;  // bar position last sent to the window
  DWORD tick = 0;              // when it was sent
};

void showProgress(ProgressShown* pShown, bool fileComplete) {
  bool changed = false;
  char before[kPercentSize];
  copyText(before, sizeof before, g_szPercent);
  updatePercentText(g_szPercent, sizeof g_szPercent, static_cast<int64_t>(g_nProgressDone),
                    static_cast<int64_t>(g_nProgressTotal), &changed);
  if (changed)
    g_bPercentChanged = true;
  unsigned long done = g_nProgressDone;
  unsigned long step = g_nProgressTotal / 512 ? g_nProgressTotal / 512 : 1;
  unsigned long moved = done > pShown->position ? done - pShown->position : pShown->position - done;
  DWORD now = GetTickCount();
  if (fileComplete || (moved >= step && now - pShown->tick >= 16)) {
    pShown->position = done;
    pShown->tick = now;
    SendMessageA(g_hProgressBar, PBM_SETPOS, done, 0);
  }
  if (strcmp(before, g_szPercent) != 0)
    invalidateProgressArea(1);
}

// One file's transfer: the request in flight and the bytes received so far.
struct Transfer {
  HINTERNET internet;
  ScopedInternetHandle request;
  unsigned char* buffer;  // g_nDownloadSize bytes
  uint32_t size;
  uint32_t received = 0;  // may pass size when a server sends more
  unsigned resumes = 0;
  ResumeProgress progress;
  bool gaveUp = false;   // resumes kept bringing nothing
  bool stopped = false;  // the window asked the worker to stop
  ProgressShown shown;

  void store(const unsigned char* data, DWORD count) {
    if (received < size) {
      uint32_t fit = size - received < count ? size - received : count;
      memcpy(buffer + received, data, fit);
    }
    received += count;
    g_nProgressDone += count;
  }

  // Asks again for the rest after a break. The answer is checked before a
  // byte of it is taken: only a 206 that starts where the data stops is
  // appended; a 200 brings the whole file, which starts over; anything else
  // (or no answer) counts as the next break.
  // False when the transfer ends here: too many resumes in a row brought
  // nothing, or the window asked the worker to stop.
  bool resume() {
    request.reset();
    if (!resumeWorthTrying(&progress, received)) {
      logMessage(LOG_FAIL, "ThreadFunc: %u resumes in a row brought nothing; giving up",
                 kMaxIdleResumes);
      gaveUp = true;
      return false;
    }
    ++resumes;
    char header[128];
    formatText(header, sizeof header, "Range: bytes=%u-", static_cast<unsigned>(received));
    if (!pauseBeforeResume()) {
      stopped = true;
      return false;
    }
    request.reset(InternetOpenUrlA(internet, g_pxDownloadFile->szUrl, header,
                                   static_cast<DWORD>(-1), kOpenFlags, 0));
    logMessage(LOG_FAIL, "Unexpected disconnect from server, trying to resume connection %d",
               static_cast<int>(resumes));
    if (!request.valid())
      return true;
    char status[128];
    char range[128];
    if (!queryText(request.get(), HTTP_QUERY_STATUS_CODE, status, sizeof status))
      status[0] = '\0';
    if (!queryText(request.get(), HTTP_QUERY_CONTENT_RANGE, range, sizeof range))
      range[0] = '\0';
    switch (judgeResumeAnswer(status, range, received, size)) {
      case RESUME_APPEND:
        break;
      case RESUME_RESTART:
        logMessage(LOG_WARNING, "ThreadFunc: server sent the whole file again; starting over");
        g_nProgressDone -= received;
        received = 0;
        break;
      case RESUME_BREAK:
        logMessage(LOG_WARNING, "ThreadFunc: resumed request answered '%s' '%s'; not taken", status,
                   range);
        request.reset();
        break;
    }
    return true;
  }

  void run() {
    unsigned char chunk[kReadBlock];
    while (resumes < kMaxResumes) {
      if (stopRequested()) {
        stopped = true;
        break;
      }
      DWORD got = 0;
      BOOL read = request.valid() && InternetReadFile(request.get(), chunk, sizeof chunk, &got);
      if (read && got > 0) {
        store(chunk, got);
        showProgress(&shown, received >= size);
      } else if (read && received < size) {
        // Under WinINet a cut transfer reads like the end of the body; only
        // the count tells them apart.
        if (!resume())
          break;
        showProgress(&shown, false);
      } else if (!read) {
        if (received >= size || !resume())
          break;
      }
      if (received >= size)
        break;
    }
    request.reset();
  }
};

// Writes the download to the temporary file; false when it cannot be opened
// or not every byte was written.
bool writeTempFile(const unsigned char* data, uint32_t count) {
  ScopedHandle file(CreateFileA(g_szTempFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    logMessage(LOG_FAIL, "Unable to open file %s: error %d", g_szTempFile,
               static_cast<int>(GetLastError()));
    return false;
  }
  DWORD written = 0;
  if (!WriteFile(file.get(), data, count, &written, nullptr) || written != count) {
    logMessage(LOG_FAIL, "Unable to write file %s: error %d", g_szTempFile,
               static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

// The body of ThreadFunc; true when WM_DOWNLOAD_FINISHED is to be posted with
// *pSucceeded, false when a box has ended the run.
bool download(WPARAM* pSucceeded) {
  *pSucceeded = 0;
  DWORD attempt = InternetAttemptConnect(0);
  if (attempt != ERROR_SUCCESS) {
    logMessage(LOG_FAIL, "ThreadFunc: internetAttemptConnect failed: %d",
               static_cast<int>(attempt));
    return true;
  }
  ScopedInternetHandle internet(
      InternetOpenA("IE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet.valid()) {
    logMessage(LOG_FAIL, "ThreadFunc: internetOpen fails: %d", static_cast<int>(GetLastError()));
    return true;
  }
  Transfer transfer;
  transfer.internet = internet.get();
  transfer.shown.position = g_nProgressDone;
  transfer.request.reset(
      InternetOpenUrlA(internet.get(), g_pxDownloadFile->szUrl, nullptr, 0, kOpenFlags, 0));
  if (!transfer.request.valid()) {
    logMessage(LOG_FAIL, "ThreadFunc: InternetOpenURL fails: error %d",
               static_cast<int>(GetLastError()));
    return true;
  }
  char status[128];
  if (!queryText(transfer.request.get(), HTTP_QUERY_STATUS_CODE, status, sizeof status) ||
      !equalsIgnoreCase(status, "200")) {
    transfer.request.reset();
    endRun("There is a problem with the files on the server.  Please try again later!");
    return false;
  }

  free(g_pDownloadBuffer);
  // The manifest parser caps sizes at kMaxEntrySize; one spare byte keeps an
  // empty file's buffer a real allocation.
  transfer.size = g_nDownloadSize > 0 ? static_cast<uint32_t>(g_nDownloadSize) : 0;
  g_pDownloadBuffer = static_cast<unsigned char*>(calloc(transfer.size + 1, 1));
  if (!g_pDownloadBuffer) {
    logMessage(LOG_FAIL, "ThreadFunc: no memory for %u bytes",
               static_cast<unsigned>(transfer.size));
    return true;
  }
  transfer.buffer = g_pDownloadBuffer;
  if (transfer.size > 0)
    transfer.run();
  transfer.request.reset();
  if (transfer.stopped) {
    logMessage(LOG_WARNING, "ThreadFunc: download stopped by the window");
    return true;
  }
  // A server that is gone or refuses every range: the download failed, and
  // the window says so and removes the temporary file.
  if (transfer.gaveUp)
    return true;
  if (transfer.received != transfer.size) {
    logMessage(LOG_FAIL, "ThreadFunc: total bytes written to disk %d of total file %d",
               static_cast<int>(transfer.received), static_cast<int>(transfer.size));
    endRun("There was an unexpected disconnection from the server.  Please try again later!");
    return false;
  }

  const FileDescriptor* shown = g_pxShownFile;
  uint32_t count = transfer.received;
  if (shown && shown->bCompressed) {
    // Only a stream that inflates to exactly the listed size is the file.
    uint32_t expected = shown->nUncompressedSize;
    unsigned char* inflated = static_cast<unsigned char*>(calloc(expected + 1, 1));
    bool whole = inflated && inflateExactly(g_pDownloadBuffer, count, inflated, expected, expected);
    free(g_pDownloadBuffer);
    g_pDownloadBuffer = inflated;
    if (!whole) {
      // Every byte arrived, so the fault lies with what the server holds.
      logMessage(LOG_FAIL, "ThreadFunc: %s does not inflate to %u bytes", shown->szBaseName,
                 static_cast<unsigned>(expected));
      endRun("There is a problem with the files on the server.  Please try again later!");
      return false;
    }
    count = expected;
    g_nDownloadSize = static_cast<int>(expected);
  }
  internet.reset();
  // A run that is ending (Cancel) has deleted the temporary file already.
  if (g_nProcessState == PS_SHUTDOWN)
    return true;
  if (!writeTempFile(g_pDownloadBuffer, count))
    return true;
  logMessage(LOG_INFO, "ThreadFunc: total bytes written to disk %d of total file %d (filename: %s)",
             static_cast<int>(count), static_cast<int>(g_nDownloadSize), g_szTempFile);
  *pSucceeded = 1;
  return true;
}

}  // namespace

DWORD WINAPI ThreadFunc(LPVOID) {
  logMessage(LOG_INFO, "ThreadFunc begins");
  WPARAM succeeded = 0;
  if (!download(&succeeded))
    return 0;
  postFinished(succeeded);
  return 1;
}

void requestDownloadStop() {
  InterlockedExchange(const_cast<LONG*>(&g_lStopRequested), 1);
}

void setResumePauseForTesting(DWORD milliseconds) {
  g_dwResumePauseMs = milliseconds;
}

HANDLE startDownloadThread() {
  InterlockedExchange(const_cast<LONG*>(&g_lStopRequested), 0);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ThreadFunc, nullptr, 0, &id);
  if (!thread)
    logMessage(LOG_FAIL, "startDownloadThread: no thread (error %u)",
               static_cast<unsigned>(GetLastError()));
  return thread;
}
