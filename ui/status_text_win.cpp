#include "ui/status_text.h"

#include <windows.h>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"

void setStatusString(int id) {
  char text[kShortTextSize] = "";
  // LoadStringA cuts silently; a string that fills the buffer may be cut.
  int length = LoadStringA(g_hInstance, id, text, sizeof text);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof text - 1) {
    logMessage(LOG_WARNING, "status string %d missing or too long", id);
    g_szStatus[0] = '\0';
    return;
  }
  copyText(g_szStatus, sizeof g_szStatus, text);
}

void setStatusText(const char* text) {
  if (!copyText(g_szStatus, sizeof g_szStatus, text))
    logMessage(LOG_WARNING, "status text too long: %s", text);
}
