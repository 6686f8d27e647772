// flash_probe OUTPUT: times the program's companion and Flash checks, run from
// the stub's folder, and writes "companions_first_ms=.. companions_ms=..
// flash_first_ms=.. flash_ms=.. flash_passes=0|1" (first call, mean of five
// more) to OUTPUT.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "app/companions.h"
#include "ui/flash_check.h"

namespace {

template <typename Step>
void timeStep(Step step, double* first, double* mean) {
  LARGE_INTEGER frequency, at[3];
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&at[0]);
  step();
  QueryPerformanceCounter(&at[1]);
  for (int i = 0; i < 5; ++i)
    step();
  QueryPerformanceCounter(&at[2]);
  double ms = 1000.0 / static_cast<double>(frequency.QuadPart);
  *first = static_cast<double>(at[1].QuadPart - at[0].QuadPart) * ms;
  *mean = static_cast<double>(at[2].QuadPart - at[1].QuadPart) * ms / 5;
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
  return fclose(out) == 0 ? 0 : 3;
}
