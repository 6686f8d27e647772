// flash_probe OUTPUT: times the companion checks and the Flash check as a
// start makes them (the program's own code, linked from velorin_core), run
// from the stub's folder so that the companions beside it are found. Writes
// "companions_first_ms=.. companions_ms=.. flash_first_ms=.. flash_ms=..
// flash_passes=0|1" to OUTPUT: the first call, then the mean of five more.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "app/companions.h"
#include "ui/flash_check.h"

namespace {

double now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

template <typename Step>
void timeStep(Step step, double* first, double* mean) {
  double start = now();
  step();
  *first = now() - start;
  start = now();
  for (int i = 0; i < 5; ++i)
    step();
  *mean = (now() - start) / 5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2)
    return 2;
  CoInitialize(nullptr);  // as WinMain does, once for the run
  double companionsFirst, companions, flashFirst, flash;
  timeStep(registerCompanionComponents, &companionsFirst, &companions);
  bool passes = false;
  timeStep([&passes] { passes = checkFlash(); }, &flashFirst, &flash);
  FILE* out = fopen(argv[1], "w");
  if (!out)
    return 3;
  fprintf(out,
          "companions_first_ms=%.2f companions_ms=%.2f flash_first_ms=%.2f flash_ms=%.2f "
          "flash_passes=%d\n",
          companionsFirst, companions, flashFirst, flash, passes ? 1 : 0);
  fclose(out);
  return 0;
}
