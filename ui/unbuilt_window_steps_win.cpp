#include "ui/unbuilt_window_steps.h"

#include "app/log.h"

const char* installStartUrl() {
  return "";
}
