// Inputs and figures shared by the host and the shipped-code (Wine) benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <zlib.h>

#include "update/crc_wide.h"
#include "update/file_crc.h"
#include "update/manifest.h"

namespace bench {

inline const std::vector<uint8_t>& randomBytes() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(64u << 20);
    std::mt19937 rng(42);
    std::generate(d.begin(), d.end(), [&] { return uint8_t(rng()); });
    return d;
  }();
  return data;
}

// 10,000 release-tool lines: the stub first, every third compressed, every other CRLF.
inline const std::string& manifestText() {
  static const std::string text = [] {
    std::string t =
        "http://files.example/client/"
        "quenzar.exe|.\\quenzar.exe|2712847316|402944|3|quenzar.exe\n";
    char line[512];
    for (int i = 1; i < 10000; ++i) {
      const char* packed = i % 3 ? "" : "1|51200|";
      snprintf(line, sizeof line,
               "http://files.example/client/set%03d/"
               "file%05d.dat%s|.\\set%03d\\file%05d.dat%s|%u|%d|0|%sfile%05d.dat%s",
               i % 97, i, i % 3 ? "" : ".z", i % 97, i, i % 3 ? "" : ".z",
               4000000000u - unsigned(i) * 104729u, 18231 + i, packed, i, i % 2 ? "\r\n" : "\n");
      t += line;
    }
    return t;
  }();
  return text;
}

// The least any parser of the format has to do: find every line and field.
inline size_t splitLinesAndFields(const std::string& text) {
  const char *p = text.data(), *end = p + text.size();
  size_t fields = 0;
  while (p < end) {
    const char* newline = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
    const char* lineEnd = newline ? newline : end;
    for (const char* bar; (bar = static_cast<const char*>(memchr(p, '|', size_t(lineEnd - p))));
         p = bar + 1)
      ++fields;
    p = newline ? newline + 1 : end;
  }
  return fields;
}

constexpr int kRounds = 5;

// "<ours> X MB/s beside <reference> Y MB/s (ratio Z)", best of kRounds taken in turns.
template <typename Now, typename Ours, typename Reference>
std::string compare(Now now,
                    size_t bytes,
                    const char* oursName,
                    Ours ours,
                    const char* referenceName,
                    Reference reference) {
  double oursBest = 1e30, referenceBest = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    double start = now();
    ours();
    double middle = now();
    reference();
    oursBest = std::min(oursBest, middle - start);
    referenceBest = std::min(referenceBest, now() - middle);
  }
  char figure[256];
  snprintf(figure, sizeof figure, "%s %.1f MB/s beside %s %.1f MB/s (ratio %.3f)", oursName,
           double(bytes) / 1e6 / oursBest, referenceName, double(bytes) / 1e6 / referenceBest,
           referenceBest / oursBest);
  return figure;
}

inline volatile uint32_t g_sink;

// The figures both runs print; false in *parsed when the manifest is refused.
template <typename Now>
std::string checksumAndParseFigures(Now now, const char* separator, bool* parsed) {
  const std::vector<uint8_t>& data = randomBytes();
  const std::string& text = manifestText();
  auto zlib = [&] { g_sink = uint32_t(crc32(0xFFFFFFFFu, data.data(), uInt(data.size()))); };
  auto checksum = [&] {
    uint32_t crc = 0;
    updateCrc(data.data(), data.size(), &crc);
    g_sink = crc;
  };
  auto tables = [&] { g_sink = crcFoldTable(0, data.data(), data.size()); };
  auto parse = [&] {
    *parsed = parseManifest(text.data(), text.size()) == MANIFEST_OK && *parsed;
    freeFileDescriptorList();
  };
  auto split = [&] { g_sink = uint32_t(splitLinesAndFields(text)); };
  return compare(now, data.size(),
                 crcWideUsable() ? "file checksum (carry-less multiply)" : "file checksum (tables)",
                 checksum, "zlib crc32", zlib) +
         separator + compare(now, data.size(), "table fold alone", tables, "zlib crc32", zlib) +
         separator + compare(now, text.size(), "manifest parse", parse, "memchr split", split);
}

// 1 when the manifest was refused or the figures' file cannot be written.
inline int report(const std::string& figures, bool parsed, const char* path) {
  if (!parsed) {
    fprintf(stderr, "the benchmark manifest was refused\n");
    return 1;
  }
  fputs(figures.c_str(), stdout);
  FILE* out = path ? fopen(path, "w") : nullptr;
  if (out) {
    fputs(figures.c_str(), out);
    fclose(out);
  }
  return path && !out;
}

}  // namespace bench
