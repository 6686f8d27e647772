// Writes the sample bug report body (sample_report.h) as the program would
// post it, built by the program's own body code. Usage:
//   velorin-report-sample OUT-FILE
// The committed tools/velorin-report/sample-body.txt is its output.
#include <cstdio>
#include <memory>
#include <string>

#include "report/body_buffer.h"
#include "tools/velorin-report/sample_report.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: velorin-report-sample OUT-FILE\n");
    return 2;
  }
  std::string text = sampleReportText();
  size_t length = 0;
  std::unique_ptr<uint8_t[]> body(buildReportBodyBuffer(text.data(), text.size(), &length));
  if (!body) {
    fprintf(stderr, "velorin-report-sample: cannot build the body\n");
    return 1;
  }
  FILE* out = fopen(argv[1], "wb");
  if (!out) {
    fprintf(stderr, "velorin-report-sample: cannot create %s\n", argv[1]);
    return 1;
  }
  bool written = fwrite(body.get(), 1, length, out) == length;
  if (fclose(out) != 0 || !written) {
    fprintf(stderr, "velorin-report-sample: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
