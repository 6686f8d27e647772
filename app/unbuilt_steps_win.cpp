#include "app/unbuilt_steps.h"

#include "app/log.h"

void registerCompanionComponents() {
  logMessage(LOG_WARNING, "registerCompanionComponents: not part of this build");
}

void executeSelfUpdateMode(const char*) {
  logMessage(LOG_WARNING, "executeSelfUpdateMode: not part of this build");
}

void placeAtlRuntime() {
  logMessage(LOG_WARNING, "placeAtlRuntime: not part of this build");
}
