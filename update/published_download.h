// A downloaded program is started only when it is the very file the manifest
// publishes: a transfer altered or cut on its way, or a service answering
// with other bytes, must never get to run.
#pragma once

#include "update/manifest.h"

// True when the file at path has the entry's size (its inflated size when it
// was sent compressed) and its checksum (the stub's checksum leaves out the
// affiliate trailer, as the manifest's does). An entry published without a
// checksum (0) cannot be checked and is refused. A refusal is logged.
bool isPublishedDownload(const FileDescriptor* entry, const char* path);
