#include "app/unbuilt_steps.h"

#include "app/log.h"

ExpandResult expandStub(const char*) {
  logMessage(LOG_WARNING, "expandStub: not part of this build; nothing expanded");
  return EXPAND_NOT_BUILT;
}

void buildTrackingUrls() {
  logMessage(LOG_WARNING, "buildTrackingUrls: not part of this build");
}

void executeSelfUpdateMode(const char*) {
  logMessage(LOG_WARNING, "executeSelfUpdateMode: not part of this build");
}

const char* affiliateIdentifier() {
  logMessage(LOG_WARNING, "affiliateIdentifier: not part of this build; no affiliate passed");
  return "";
}

void sendInstallFinish() {
  logMessage(LOG_WARNING, "sendInstallFinish: not part of this build; install finish not sent");
}

void placeAtlRuntime() {
  logMessage(LOG_WARNING, "placeAtlRuntime: not part of this build");
}

void deleteExpandedFiles() {
  logMessage(LOG_WARNING, "deleteExpandedFiles: not part of this build");
}
