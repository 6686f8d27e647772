// velorin-report: turns a received bug report body back into the plain
// report. See kHelp below for what goes in, what comes out and the exit codes.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/velorin-report/report_decoder.h"

namespace {

// Bodies are about 1.4 times the report; far more than that is not ours.
const size_t kMaxBody = 64u << 20;

enum ExitCode {
  EXIT_REPORT = 0,      // a report of this program, written
  EXIT_FILE_ERROR = 1,  // a file could not be opened, read or written
  EXIT_USAGE = 2,       // unknown option or wrong arguments
  EXIT_NOT_A_BODY = 3,  // the body does not decode
  EXIT_NOT_OURS = 4,    // deciphers, but does not open like a report of this program
  EXIT_EMPTY = 5,       // the sealed report holds no text
  EXIT_NO_LOG = 6,      // --log: no section of the program's own crash log
};

const char kHelp[] =
    "usage: velorin-report [--log] [BODY-FILE | -] [-o REPORT-FILE]\n"
    "\n"
    "In:  a bug report request body exactly as the report server received it\n"
    "     (the POST body of /bug.php, form field DATA=..., other fields and a\n"
    "     trailing line break allowed), from BODY-FILE, or from standard input\n"
    "     when BODY-FILE is \"-\" or missing.\n"
    "Out: the plain-text system report the player's program sealed, byte for\n"
    "     byte (it carries the client's crash files, zero bytes included), to\n"
    "     REPORT-FILE or standard output. The tool undoes the form encoding,\n"
    "     Base64, zlib compression and the report cipher, and drops the zero\n"
    "     padding of the last block (zero bytes that end the last file section\n"
    "     are kept, by that section's byte count).\n"
    "--log: also deciphers the \"quenzar.log\" section at the end of the report\n"
    "     when the program's own crash filter wrote it (after a crash of the\n"
    "     program itself; the game client's log of that name is left as it\n"
    "     is), and prints the crash log as text in place of its bytes.\n"
    "\n"
    "Sample: tools/velorin-report/sample-body.txt in the source tree is a body\n"
    "built by the program's own report body code; try\n"
    "     velorin-report tools/velorin-report/sample-body.txt\n"
    "\n"
    "Exit codes:\n"
    "  0  report written; it opens with the first section head\n"
    "     (\"PROCESSOR INFORMATION\")\n"
    "  1  a file could not be opened, read or written\n"
    "  2  unknown option or wrong arguments\n"
    "  3  the body is not a readable report body (the message names the step)\n"
    "  4  deciphered text written, but it does not open with the first section\n"
    "     head: likely not a report from this program\n"
    "  5  the sealed report is empty: the sender sealed no text\n"
    "  6  --log: report written unchanged; it carries no \"quenzar.log\"\n"
    "     section whole, or that section is not the program's own crash log\n";

bool readAll(FILE* in, std::string* out) {
  char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, in)) > 0) {
    if (out->size() + got > kMaxBody)
      return false;
    out->append(chunk, got);
  }
  return !ferror(in);
}

int usageError(const char* problem, const char* argument) {
  fprintf(stderr, "velorin-report: %s%s\n", problem, argument);
  fprintf(stderr,
          "usage: velorin-report [--log] [BODY-FILE | -] [-o REPORT-FILE]  (--help for more)\n");
  return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  const char* inputPath = nullptr;
  const char* outputPath = nullptr;
  bool optionsEnded = false;
  bool decipherLog = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnded && strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (!optionsEnded && (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0)) {
      fputs(kHelp, stdout);
      return EXIT_REPORT;
    } else if (!optionsEnded && strcmp(arg, "--log") == 0) {
      decipherLog = true;
    } else if (!optionsEnded && strcmp(arg, "-o") == 0) {
      if (i + 1 >= argc)
        return usageError("-o needs a file name", "");
      outputPath = argv[++i];
    } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
      // Never opened as a body: "-x" is far likelier a mistyped option.
      return usageError("unknown option ", arg);
    } else if (inputPath) {
      return usageError("more than one body file: ", arg);
    } else {
      inputPath = arg;
    }
  }

  std::string body;
  FILE* in = (!inputPath || strcmp(inputPath, "-") == 0) ? stdin : fopen(inputPath, "rb");
  if (!in) {
    fprintf(stderr, "velorin-report: cannot open %s\n", inputPath);
    return EXIT_FILE_ERROR;
  }
  bool read = readAll(in, &body);
  if (in != stdin)
    fclose(in);
  if (!read) {
    fprintf(stderr, "velorin-report: cannot read the body (or it exceeds %zu bytes)\n", kMaxBody);
    return EXIT_FILE_ERROR;
  }

  std::string report, error;
  if (!decodeReportBody(body, &report, &error)) {
    fprintf(stderr, "velorin-report: %s\n", error.c_str());
    return EXIT_NOT_A_BODY;
  }

  LogSectionResult logResult = LOG_SECTION_MISSING;
  if (decipherLog) {
    std::string withLog;
    logResult = decipherLogSection(report, &withLog);
    if (logResult == LOG_SECTION_DECIPHERED)
      report.swap(withLog);
  }

  FILE* out = outputPath ? fopen(outputPath, "wb") : stdout;
  if (!out) {
    fprintf(stderr, "velorin-report: cannot create %s\n", outputPath);
    return EXIT_FILE_ERROR;
  }
  bool written = fwrite(report.data(), 1, report.size(), out) == report.size();
  written = (out == stdout ? fflush(out) : fclose(out)) == 0 && written;
  if (!written) {
    fprintf(stderr, "velorin-report: cannot write the report\n");
    return EXIT_FILE_ERROR;
  }
  if (report.empty()) {
    fprintf(stderr, "velorin-report: the sealed report is empty: the sender sealed no text\n");
    return EXIT_EMPTY;
  }
  if (!looksLikeSystemReport(report)) {
    fprintf(stderr,
            "velorin-report: the text does not open with the report's first section head "
            "(PROCESSOR INFORMATION): likely not a report from this program\n");
    return EXIT_NOT_OURS;
  }
  if (decipherLog && logResult != LOG_SECTION_DECIPHERED) {
    fprintf(stderr, logResult == LOG_SECTION_MISSING
                        ? "velorin-report: --log: the report carries no whole quenzar.log section\n"
                        : "velorin-report: --log: the quenzar.log section is not the program's "
                          "own crash log (left as raw bytes)\n");
    return EXIT_NO_LOG;
  }
  return EXIT_REPORT;
}
