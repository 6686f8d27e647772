// The portable code as the player runs it: built by the shipped tree's
// compilers (i686, win32 threads) and run under Wine, each figure beside its
// reference measured in the same process: the file checksum beside the i686
// zlib's crc32 over the same 64 MiB, the manifest parser beside a plain
// memchr split of the same 10,000-line text. Each is the best of several
// interleaved rounds, so a busy moment of the machine does not decide it.
// Prints the figures and writes them to the file named by its argument.
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/manifest_text.h"
#include "update/crc_wide.h"
#include "update/file_crc.h"
#include "update/manifest.h"

namespace {

constexpr int kRounds = 5;
// The 64-bit test build runs the same code; its figures say so.
#if defined(__x86_64__)
constexpr const char* kBuildName = "x86_64 test build";
#else
constexpr const char* kBuildName = "i686";
#endif

double seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

// Best (shortest) time of kRounds runs of each of two pieces of work, taken
// in turns.
template <typename Ours, typename Reference>
void bestOfRounds(Ours ours, Reference reference, double* oursBest, double* referenceBest) {
  *oursBest = *referenceBest = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    double start = seconds();
    ours();
    double middle = seconds();
    reference();
    double end = seconds();
    if (middle - start < *oursBest)
      *oursBest = middle - start;
    if (end - middle < *referenceBest)
      *referenceBest = end - middle;
  }
}

volatile uint32_t g_sink;

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint8_t> data(64u << 20);
  uint32_t seed = 42;
  for (uint8_t& byte : data) {
    seed = seed * 1103515245u + 12345u;
    byte = uint8_t(seed >> 24);
  }
  double crcTime, zlibTime;
  bestOfRounds(
      [&] {
        uint32_t crc = 0;
        updateCrc(data.data(), data.size(), &crc);
        g_sink = crc;
      },
      [&] { g_sink = uint32_t(crc32(0xFFFFFFFFu, data.data(), uInt(data.size()))); }, &crcTime,
      &zlibTime);

  // The table fold alone, as processors without the carry-less multiply run it.
  double tableTime, zlibTime2;
  bestOfRounds([&] { g_sink = crcFoldTable(0, data.data(), data.size()); },
               [&] { g_sink = uint32_t(crc32(0xFFFFFFFFu, data.data(), uInt(data.size()))); },
               &tableTime, &zlibTime2);

  const std::string& text = bench::manifestText();
  bool parsed = true;
  double parseTime, splitTime;
  bestOfRounds(
      [&] {
        parsed = parseManifest(text.data(), text.size()) == MANIFEST_OK && parsed;
        freeFileDescriptorList();
      },
      [&] {
        uint32_t fields = 0;
        for (const char* p = text.data();
             (p = static_cast<const char*>(memchr(p, '|', text.data() + text.size() - p))); ++p)
          ++fields;
        g_sink = fields;
      },
      &parseTime, &splitTime);
  if (!parsed) {
    fprintf(stderr, "the benchmark manifest was refused\n");
    return 1;
  }

  char figures[768];
  double megabytes = double(data.size()) / 1e6, manifestMegabytes = double(text.size()) / 1e6;
  snprintf(figures, sizeof figures,
           "shipped code under Wine (%s, best of %d): file checksum (%s) %.0f MB/s beside zlib "
           "crc32 %.0f MB/s (ratio %.2f); table fold alone %.0f MB/s beside zlib crc32 %.0f MB/s "
           "(ratio %.2f); manifest parse %.1f MB/s beside memchr split %.1f MB/s "
           "(ratio %.3f)\n",
           kBuildName, kRounds, crcWideUsable() ? "carry-less multiply" : "tables",
           megabytes / crcTime, megabytes / zlibTime, zlibTime / crcTime, megabytes / tableTime,
           megabytes / zlibTime2, zlibTime2 / tableTime, manifestMegabytes / parseTime,
           manifestMegabytes / splitTime, splitTime / parseTime);
  fputs(figures, stdout);
  if (argc > 1) {
    FILE* out = fopen(argv[1], "w");
    if (!out)
      return 1;
    fputs(figures, out);
    fclose(out);
  }
  return 0;
}
