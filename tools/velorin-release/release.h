// velorin-release: turns a folder of client files into a served release, a
// plain folder that any static web server can serve: "product.txt" in the
// manifest format, and each file at its path (zlib-compressed files with an
// extra ".z").
#pragma once

#include <string>
#include <vector>

// Exit codes, documented in --help and README.
enum ReleaseExit {
  RELEASE_WRITTEN = 0,     // the release folder is complete
  RELEASE_USAGE = 2,       // bad arguments, role file or output folder
  RELEASE_REFUSED = 3,     // the files hold something the stub could not use
  RELEASE_IO_FAILED = 4,   // a file could not be read or written
  RELEASE_SELF_CHECK = 5,  // the written manifest did not parse back; nothing published
};

// Roles and choices for the files, by path relative to the source folder with
// "/" between folders. Patterns are shell patterns ("data/*.dat", "*").
struct ReleaseRoles {
  std::string primary;                 // type "1": the game client started at the end
  std::string stub;                    // type "3": the stub itself, named quenzar.exe
  std::string installer;               // type "8": listed, never downloaded by an update
  std::string flash;                   // type "9": the Flash installer
  std::vector<std::string> compress;   // served as zlib streams
  std::vector<std::string> unchecked;  // checksum 0: fetched once, never checked
};

struct ReleaseOptions {
  std::string source;   // folder of client files
  std::string baseUrl;  // "http://host/path" the output folder is served under
  std::string output;   // release folder to create (missing or empty)
  ReleaseRoles roles;
};

// Reads a role file: one "ROLE PATH" per line, ROLE one of primary, stub,
// installer, flash, compress, unchecked; the path runs to the line end
// (leading and trailing blanks dropped); "#" starts a comment line. Adds to
// roles; false with *error set on the first line it cannot take.
bool readRoleFile(const std::string& text, ReleaseRoles* roles, std::string* error);

// Builds the release. Problems are written to stderr, one per line, all of
// them before giving up. Returns a ReleaseExit code.
int buildRelease(const ReleaseOptions& options);
