#include "app/unbuilt_steps.h"

#include "app/log.h"

void registerCompanionComponents() {
  logMessage(LOG_WARNING, "registerCompanionComponents: not part of this build");
}

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

bool terminateIfRunning(const char*, uint32_t, uint32_t) {
  logMessage(LOG_WARNING, "terminateIfRunning: not part of this build; client not checked");
  return true;
}

bool performUninstall() {
  logMessage(LOG_WARNING, "performUninstall: not part of this build; nothing removed");
  return false;
}

void placeAtlRuntime() {
  logMessage(LOG_WARNING, "placeAtlRuntime: not part of this build");
}

void deleteExpandedFiles() {
  logMessage(LOG_WARNING, "deleteExpandedFiles: not part of this build");
}

void freeBugReport() {}
