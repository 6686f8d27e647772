// Steps of a start and of a shutdown whose work is not part of this build
// yet. Each is called at its place in WinMain and logs a warning that it did
// nothing, so a run's log never claims work that was not done.
#pragma once

#include <cstdint>

#include "app/process_control.h"
#include "app/stub_expansion.h"
#include "install/uninstall.h"

// Registers the image component and the runtime library when missing.
void registerCompanionComponents();
