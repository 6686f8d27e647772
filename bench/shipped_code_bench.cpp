// The portable code as the player runs it: built by the shipped tree's
// compilers and run under Wine, each figure beside its reference measured in
// the same process. Prints the figures and writes them to the file named by
// its argument.
#include <windows.h>
#include <zlib.h>

#include "bench/bench_inputs.h"
#include "update/crc_wide.h"
#include "update/file_crc.h"
#include "update/manifest.h"

namespace {

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

volatile uint32_t g_sink;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<uint8_t>& data = bench::randomBytes();
  auto zlib = [&] { g_sink = uint32_t(crc32(0xFFFFFFFFu, data.data(), uInt(data.size()))); };
  auto checksum = [&] {
    uint32_t crc = 0;
    updateCrc(data.data(), data.size(), &crc);
    g_sink = crc;
  };
  // The table fold alone, as processors without the carry-less multiply run it.
  auto tables = [&] { g_sink = crcFoldTable(0, data.data(), data.size()); };
  const std::string& text = bench::manifestText();
  bool parsed = true;
  auto parse = [&] {
    parsed = parseManifest(text.data(), text.size()) == MANIFEST_OK && parsed;
    freeFileDescriptorList();
  };
  auto split = [&] { g_sink = uint32_t(bench::splitLinesAndFields(text)); };

  char head[128];
  snprintf(head, sizeof head, "shipped code under Wine (%s, best of %d): ", kBuildName,
           bench::kRounds);
  std::string figures =
      head +
      bench::compare(
          seconds, data.size(),
          crcWideUsable() ? "file checksum (carry-less multiply)" : "file checksum (tables)",
          checksum, "zlib crc32", zlib) +
      "; " + bench::compare(seconds, data.size(), "table fold alone", tables, "zlib crc32", zlib) +
      "; " + bench::compare(seconds, text.size(), "manifest parse", parse, "memchr split", split) +
      "\n";
  if (!parsed) {
    fprintf(stderr, "the benchmark manifest was refused\n");
    return 1;
  }
  return bench::report(figures, argc > 1 ? argv[1] : nullptr) ? 0 : 1;
}
