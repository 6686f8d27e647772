// velorin-pack: makes the stub that is published. See --help.
#include <cstdio>
#include <string>

#include "tools/velorin-pack/pack.h"

namespace {

const char kHelp[] =
    "usage: velorin-pack [--affiliate ID] [--carry NAME=PATH]... INPUT OUTPUT\n"
    "       velorin-pack --affiliate ID PACKED OUTPUT\n"
    "       velorin-pack --list PACKED\n"
    "\n"
    "Appends to the built stub INPUT each carried file and the tail that lists\n"
    "them with the affiliate identifier, and writes OUTPUT (publish it as\n"
    "quenzar.exe). At each start the stub writes the carried files beside\n"
    "itself under NAME and deletes them when it ends.\n"
    "\n"
    "Given a stub that is already packed and only --affiliate, rewrites its\n"
    "affiliate identifier alone and proves that the stub's checksum (which\n"
    "leaves the identifier out) did not change: one release serves every\n"
    "affiliate's copy. --list prints the affiliate, the checksum and each\n"
    "carried file (name, 1-based data position, size).\n"
    "\n"
    "Refused: an INPUT already packed (but for --affiliate alone), more than 10\n"
    "carried files, a NAME that is not a plain file name (no '\\', '/', ':',\n"
    "'..', device name) or has 260 characters or more, a NAME carried twice, an\n"
    "affiliate of more than 255 characters or with characters other than\n"
    "letters, digits, '-' and '_'.\n"
    "\n"
    "Exit codes:\n"
    "  0  written (or listed)\n"
    "  2  bad arguments\n"
    "  3  refused: the input or a carried file cannot be packed as asked\n"
    "  4  an input could not be read or the output written\n"
    "  5  the result did not read back as packed (nothing written)\n";

int usage(const std::string& problem) {
  fprintf(stderr, "velorin-pack: %s\n(velorin-pack --help shows the usage)\n", problem.c_str());
  return PACK_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  PackOptions options;
  std::string positional[2];
  int positionals = 0;
  std::string list;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(kHelp, stdout);
      return PACK_WRITTEN;
    }
    if (arg.rfind("--", 0) != 0) {
      if (positionals == 2)
        return usage("unexpected argument " + arg);
      positional[positionals++] = arg;
      continue;
    }
    if (i + 1 >= argc)
      return usage(arg + " needs a value");
    std::string value = argv[++i];
    if (arg == "--affiliate") {
      if (options.affiliateGiven)
        return usage("a second --affiliate");
      options.affiliate = value;
      options.affiliateGiven = true;
    } else if (arg == "--carry") {
      size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == value.size())
        return usage("--carry takes NAME=PATH, not " + value);
      options.files.push_back({value.substr(0, equals), value.substr(equals + 1)});
    } else if (arg == "--list") {
      list = value;
    } else {
      return usage("unknown option " + arg);
    }
  }
  if (!list.empty()) {
    if (positionals || options.affiliateGiven || !options.files.empty())
      return usage("--list takes the packed stub alone");
    return listStub(list);
  }
  if (positionals != 2)
    return usage("INPUT and OUTPUT are needed");
  options.input = positional[0];
  options.output = positional[1];
  return packStub(options);
}
