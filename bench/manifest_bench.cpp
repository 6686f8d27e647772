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

#include "update/manifest.h"

namespace {

const int kLines = 10000;

// Lines as the release tool writes them: a third compressed (form 2), CRLF
// line ends on every other line, a stub entry first.
const std::string& manifestText() {
  static const std::string text = [] {
    std::string t =
        "http://files.example/client/quenzar.exe|.\\quenzar.exe|2712847316|402944|3|quenzar."
        "exe\n";
    char line[512];
    for (int i = 1; i < kLines; ++i) {
      const char* end = i % 2 ? "\r\n" : "\n";
      if (i % 3 == 0)
        snprintf(line, sizeof line,
                 "http://files.example/client/data/set%03d/tables%05d.dat.z|.\\data\\set%03d\\"
                 "tables%05d.dat.z|%u|%d|0|1|%d|tables%05d.dat%s",
                 i % 97, i, i % 97, i, 93311208u + unsigned(i) * 7919u, 18231 + i, 51200 + 3 * i, i,
                 end);
      else
        snprintf(line, sizeof line,
                 "http://files.example/client/lib/module%05d.dll|.\\lib\\module%05d.dll|%u|%d|0|"
                 "module%05d.dll%s",
                 i, i, 4000000000u - unsigned(i) * 104729u, 65536 + i, i, end);
      t += line;
    }
    return t;
  }();
  return text;
}

void BM_ManifestParse(benchmark::State& state) {
  const std::string& text = manifestText();
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
  const std::string& text = manifestText();
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
  const std::string& text = manifestText();
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
