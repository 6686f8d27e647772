#include "ui/unbuilt_window_steps.h"

#include "app/log.h"

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

bool hasUnreportedCrashFiles() {
  logMessage(LOG_WARNING, "hasUnreportedCrashFiles: not part of this build; none looked for");
  return false;
}

void deleteCrashFiles() {
  logMessage(LOG_WARNING, "deleteCrashFiles: not part of this build; nothing deleted");
}

bool isBugReportPrepared() {
  return false;
}

bool showBugReportDialog(char*, size_t) {
  logMessage(LOG_WARNING, "showBugReportDialog: not part of this build; taken as Cancel");
  return false;
}

void prepareBugReport(const char*) {
  logMessage(LOG_WARNING, "prepareBugReport: not part of this build; no report built");
}

bool postBugReport() {
  logMessage(LOG_WARNING, "postBugReport: not part of this build; nothing sent");
  return false;
}

void recordReportedFiles() {
  logMessage(LOG_WARNING, "recordReportedFiles: not part of this build");
}
