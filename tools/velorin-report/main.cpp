// velorin-report: turns a received bug report body back into the plain
// report. Usage:
//   velorin-report [BODY-FILE | -] [-o REPORT-FILE]
// The body is read from the file, or from standard input when the file is
// "-" or missing; the report goes to standard output or REPORT-FILE, byte for
// byte (reports carry the client's crash files, zero bytes included).
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/velorin-report/report_decoder.h"

namespace {

// Bodies are about 1.4 times the report; far more than that is not ours.
const size_t kMaxBody = 64u << 20;

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

int usage() {
  fprintf(stderr, "usage: velorin-report [BODY-FILE | -] [-o REPORT-FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* inputPath = nullptr;
  const char* outputPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc)
      outputPath = argv[++i];
    else if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0 || inputPath)
      return usage();
    else
      inputPath = argv[i];
  }

  std::string body;
  FILE* in = (!inputPath || strcmp(inputPath, "-") == 0) ? stdin : fopen(inputPath, "rb");
  if (!in) {
    fprintf(stderr, "velorin-report: cannot open %s\n", inputPath);
    return 1;
  }
  bool read = readAll(in, &body);
  if (in != stdin)
    fclose(in);
  if (!read) {
    fprintf(stderr, "velorin-report: cannot read the body (or it exceeds %zu bytes)\n", kMaxBody);
    return 1;
  }

  std::string report, error;
  if (!decodeReportBody(body, &report, &error)) {
    fprintf(stderr, "velorin-report: %s\n", error.c_str());
    return 1;
  }

  FILE* out = outputPath ? fopen(outputPath, "wb") : stdout;
  if (!out) {
    fprintf(stderr, "velorin-report: cannot create %s\n", outputPath);
    return 1;
  }
  bool written = fwrite(report.data(), 1, report.size(), out) == report.size();
  written = (out == stdout ? fflush(out) : fclose(out)) == 0 && written;
  if (!written) {
    fprintf(stderr, "velorin-report: cannot write the report\n");
    return 1;
  }
  return 0;
}
