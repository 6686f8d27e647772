#include "app/unbuilt_steps.h"

#include "app/log.h"

void registerCompanionComponents() {
  logMessage(LOG_WARNING, "registerCompanionComponents: not part of this build");
}

}
