// velorin-pack: appends the carried files and the tail (affiliate identifier,
// entry table, signature) to a built stub, rewrites the affiliate of a packed
// stub, and lists what a packed stub carries.
#pragma once

#include <string>
#include <vector>

// Exit codes, documented in --help and README.
enum PackExit {
  PACK_WRITTEN = 0,     // the packed stub was written (or listed)
  PACK_USAGE = 2,       // bad arguments
  PACK_REFUSED = 3,     // the input or a carried file cannot be packed as asked
  PACK_IO_FAILED = 4,   // an input could not be read or the output written
  PACK_SELF_CHECK = 5,  // the result did not read back as packed (nothing written)
};

struct PackFile {
  std::string name;  // name written beside the stub at run time
  std::string path;  // where the bytes come from
};

struct PackOptions {
  std::string input;
  std::string output;
  std::string affiliate;
  bool affiliateGiven = false;
  std::vector<PackFile> files;
};

// Packs (or, for a packed input given only --affiliate, re-labels) the stub.
// Problems go to stderr, all of them before giving up.
int packStub(const PackOptions& options);

// Prints the affiliate, the checksum and each carried file of a packed stub.
int listStub(const std::string& path);
