// Folders of client files.
#pragma once

// Creates every folder of path ("\" or "/" between parts) that does not
// exist yet, outermost first. True when the whole path exists as a folder
// afterwards; an empty path is the current folder and needs nothing.
bool createDirectoryPath(const char* path);
