#include "ui/unbuilt_window_steps.h"

#include "app/log.h"

HANDLE startProductInfoThread() {
  logMessage(LOG_WARNING, "startProductInfoThread: not part of this build; no manifest requested");
  return nullptr;
}

HANDLE startDownloadThread() {
  logMessage(LOG_WARNING, "startDownloadThread: not part of this build; nothing downloaded");
  return nullptr;
}

bool selectSelfUpdate() {
  logMessage(LOG_WARNING, "selectSelfUpdate: not part of this build; no stub selected");
  return false;
}

bool selectNextFile() {
  logMessage(LOG_WARNING, "selectNextFile: not part of this build; no file selected");
  return false;
}

bool checkFilesWritable() {
  logMessage(LOG_WARNING, "checkFilesWritable: not part of this build; no files listed");
  return true;
}

void initDownloadProgress() {
  logMessage(LOG_WARNING, "initDownloadProgress: not part of this build");
}

const char* shownFileName() {
  return nullptr;
}

bool checkServerStatus() {
  // "Go ahead" is what every answer but an explicit maintenance notice means;
  // the launch that follows has no primary executable and says so.
  logMessage(LOG_WARNING, "checkServerStatus: not part of this build; no check made");
  return true;
}

void launchClient() {
  logMessage(LOG_WARNING, "launchClient: not part of this build; no client started");
}

void bringThreadWindowForward(DWORD) {
  logMessage(LOG_WARNING, "bringThreadWindowForward: not part of this build");
}

bool performInstallActions() {
  logMessage(LOG_WARNING, "performInstallActions: not part of this build; nothing installed");
  return false;
}

void requestUrlAsync(const char* url) {
  logMessage(LOG_WARNING, "requestUrlAsync: not part of this build; no request sent to '%s'", url);
}

const char* installStartUrl() {
  return "";
}

bool flashCheckPasses() {
  logMessage(LOG_WARNING,
             "flashCheckPasses: not part of this build; no check made, taken as passed");
  return true;
}

bool isBrowserWindowOpen() {
  logMessage(LOG_WARNING, "isBrowserWindowOpen: not part of this build; none looked for");
  return false;
}

void closeBrowserWindows() {
  logMessage(LOG_WARNING, "closeBrowserWindows: not part of this build; none closed");
}

void storeDownloadedFile(HWND) {
  // Nothing was downloaded either; the update stops here rather than report
  // files it never stored.
  logMessage(LOG_WARNING, "storeDownloadedFile: not part of this build; nothing stored");
}
