// velorin-release: publishes a folder of client files as a release that any
// static web server can serve. See --help.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/velorin-release/release.h"

namespace {

const char kHelp[] =
    "usage: velorin-release [OPTIONS] SOURCE-DIR BASE-URL RELEASE-DIR\n"
    "\n"
    "Writes RELEASE-DIR (which must not exist, or be empty, and lie outside\n"
    "SOURCE-DIR): product.txt, the manifest the stub fetches, and every file of\n"
    "SOURCE-DIR at its path. Serve RELEASE-DIR at BASE-URL (http://host[/path])\n"
    "with any static web server; each file's URL is BASE-URL/PATH.\n"
    "\n"
    "Each manifest entry carries the file's checksum as the stub computes it\n"
    "(for quenzar.exe without its affiliate trailer), its size and its role.\n"
    "Compressed files are served as zlib streams at PATH.z and inflated by the\n"
    "stub after download.\n"
    "\n"
    "Options (paths relative to SOURCE-DIR, \"/\" between folders):\n"
    "  --roles FILE        role file: one \"ROLE PATH\" per line, \"#\" comments;\n"
    "                      ROLE is one of the option names below without \"--\"\n"
    "  --primary PATH      the game client, started at the end (required;\n"
    "                      no blank in its path)\n"
    "  --stub PATH         the stub itself, for self-update (named quenzar.exe)\n"
    "  --installer PATH    the installation program (listed, never downloaded\n"
    "                      by an update)\n"
    "  --flash PATH        the Flash installer\n"
    "  --compress PATTERN  serve matching files compressed (shell pattern,\n"
    "                      \"*\" matches across folders; may repeat)\n"
    "  --unchecked PATTERN matching files get checksum 0: fetched when missing\n"
    "                      at installation, never checked or replaced after\n"
    "  --help              this text\n"
    "\n"
    "Refused, with every reason on standard error and nothing written: a\n"
    "field the stub's parser cannot hold (file name of 128 characters or more,\n"
    "Windows path of 260 or more, URL of 2084 or more), a name with \"|\" (the\n"
    "field separator), a character Windows cannot store, or a byte outside\n"
    "plain ASCII, a path that leaves the folder or names a device, links, two\n"
    "names that differ only in case, a blank in the primary executable's path,\n"
    "a stub not named quenzar.exe, a file above 268435456 bytes, a role or\n"
    "pattern that names no file.\n"
    "\n"
    "Exit codes:\n"
    "  0  the release was written\n"
    "  2  bad arguments, role file, base URL or release folder\n"
    "  3  refused: the files hold something the stub could not use\n"
    "  4  a file could not be read or written (nothing published)\n"
    "  5  the manifest did not read back with the stub's parser (nothing written)\n";

int usage(const char* problem) {
  fprintf(stderr, "velorin-release: %s\n(velorin-release --help shows the usage)\n", problem);
  return RELEASE_USAGE;
}

bool readText(const char* path, std::string* text) {
  FILE* f = fopen(path, "rb");
  if (!f)
    return false;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
    text->append(chunk, got);
  fclose(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ReleaseOptions options;
  std::string positional[3];
  int positionals = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(kHelp, stdout);
      return RELEASE_WRITTEN;
    }
    if (arg.rfind("--", 0) != 0) {
      if (positionals == 3)
        return usage(("unexpected argument " + arg).c_str());
      positional[positionals++] = arg;
      continue;
    }
    if (i + 1 >= argc)
      return usage((arg + " needs a value").c_str());
    std::string value = argv[++i];
    ReleaseRoles& r = options.roles;
    std::string* single = arg == "--primary"     ? &r.primary
                          : arg == "--stub"      ? &r.stub
                          : arg == "--installer" ? &r.installer
                          : arg == "--flash"     ? &r.flash
                                                 : nullptr;
    if (single) {
      if (!single->empty() && *single != value)
        return usage(("a second " + arg + " (" + *single + " before)").c_str());
      *single = value;
    } else if (arg == "--compress") {
      r.compress.push_back(value);
    } else if (arg == "--unchecked") {
      r.unchecked.push_back(value);
    } else if (arg == "--roles") {
      std::string text, error;
      if (!readText(value.c_str(), &text))
        return usage(("cannot read the role file " + value).c_str());
      if (!readRoleFile(text, &r, &error))
        return usage((value + ", " + error).c_str());
    } else {
      return usage(("unknown option " + arg).c_str());
    }
  }
  if (positionals != 3)
    return usage("SOURCE-DIR, BASE-URL and RELEASE-DIR are needed");
  options.source = positional[0];
  options.baseUrl = positional[1];
  options.output = positional[2];
  return buildRelease(options);
}
