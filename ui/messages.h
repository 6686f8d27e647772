// The window's command identifiers, with the messages, timers and states
// it shares with the workers (app/window_link.h).
#pragma once

#include <windows.h>

#include "app/resource.h"
#include "app/window_link.h"

#define IDC_CANCEL 200
#define IDC_MINIMIZE 201
#define IDC_ACCEPT_TERMS 203
#define IDC_ACCEPT_DIRECTORY 204
#define IDC_BROWSE 205
