// Parsing a manifest of 10,000 lines into the list, beside a plain split of
// the same text into lines and fields with memchr: the least any parser of
// the format has to do. Each record carries its fixed buffers (2.5 KB), so a
// list of 10,000 lines is 25 MB of fresh, zero-filled memory; the line parse
// alone (each record freed at once, its block reused) shows what the parsing
// costs without that.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/manifest_text.h"
#include "update/manifest.h"

namespace {

void BM_ManifestParse(benchmark::State& state) {
  const std::string& text = bench::manifestText();
  for (auto _ : state) {
    int result = parseManifest(text.data(), text.size());
    if (result != MANIFEST_OK)
      state.SkipWithError("manifest refused");
    benchmark::DoNotOptimize(g_pxFileDescriptor);
    freeFileDescriptorList();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_ManifestLineParse(benchmark::State& state) {
  const std::string& text = bench::manifestText();
  for (auto _ : state) {
    size_t position = 0, consumed = 0;
    while (position < text.size()) {
      FileDescriptor* entry =
          parseFileDescriptor(text.data() + position, text.size() - position, &consumed);
      if (!entry) {
        state.SkipWithError("line refused");
        break;
      }
      benchmark::DoNotOptimize(entry);
      freeFileDescriptor(entry);
      position += consumed;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_ManifestLineSplit(benchmark::State& state) {
  const std::string& text = bench::manifestText();
  for (auto _ : state) {
    const char* p = text.data();
    const char* end = p + text.size();
    size_t fields = 0;
    while (p < end) {
      const char* newline = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
      const char* lineEnd = newline ? newline : end;
      for (const char* bar; (bar = static_cast<const char*>(memchr(p, '|', size_t(lineEnd - p))));
           p = bar + 1)
        ++fields;
      p = newline ? newline + 1 : end;
    }
    benchmark::DoNotOptimize(fields);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

}  // namespace

BENCHMARK(BM_ManifestParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ManifestLineParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ManifestLineSplit)->Unit(benchmark::kMicrosecond);
