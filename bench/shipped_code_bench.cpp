// The portable code as the player runs it (shipped compilers, Wine), each figure
// beside its reference from the same process; also written to the file named.
#include <windows.h>

#include "bench/bench_inputs.h"

static double seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

int main(int argc, char** argv) {
  char head[128];
  snprintf(head, sizeof head, "shipped code under Wine (%s, best of %d): ",
           sizeof(void*) == 8 ? "x86_64 test build" : "i686", bench::kRounds);
  bool parsed = true;
  std::string figures = head + bench::checksumAndParseFigures(seconds, "; ", &parsed) + "\n";
  return bench::report(figures, parsed, argc > 1 ? argv[1] : nullptr);
}
