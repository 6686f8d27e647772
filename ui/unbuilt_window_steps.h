// Steps the window's state machine calls whose work is not part of this build
// yet (tracking addresses). Each logs
// "WARNING: <name>: not part of this build" and answers what keeps a run
// honest and safe: nothing is fetched, selected, installed or started, and no
// later step acts as if it had been. Later work replaces a function here
// without touching WndProc or its handlers.
#pragma once

#include <windows.h>

#include "install/install_actions.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"

// The install-start tracking address, or "" when none is built.
const char* installStartUrl();
