#include "app/app_state.h"

#include "app/run_mode.h"

char g_szWindowTitle[kShortTextSize];
char g_szWindowClass[kShortTextSize];
char g_szStatus[kShortTextSize];
char g_szWaitingText[kShortTextSize];
char g_szCWD[kPathSize];
int g_nRunMode = RUN_MODE_NORMAL;
HINSTANCE g_hInstance;

char g_szLastRunPath[kPathSize];
uint32_t g_ulLastRunPid;
uint32_t g_ulPrimaryExeCrc;
