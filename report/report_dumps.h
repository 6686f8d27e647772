// The parts of the system report that walk the machine at report time: the
// install folder listing and the dump of the client's registry key.
#pragma once

#include <windows.h>

#include "report/report_writer.h"

// Appends every file below folder, recursively (directories starting with
// "." and links of any kind skipped). 1 on success, 0 when a folder could
// not be searched; what was appended before stays.
int listFolder(const char* folder, ReportWriter& report);

// Appends one line per value of key and of all its subkeys, the deepest
// first, each prefixed with its subkey path.
void dumpRegistryKey(HKEY key, ReportWriter& report);
