// Shared by the host benchmark and the shipped-code benchmark (under Wine):
// the inputs (64 MiB of pseudo-random bytes, a 10,000-line manifest as the
// release tool writes it: a stub entry first, a third compressed in the second
// form, CRLF line ends on every other line), the parser's reference (a plain
// memchr split into lines and fields) and the timing of ours beside a reference.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

inline const std::vector<uint8_t>& randomBytes() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(64u << 20);
    uint32_t seed = 42;
    for (uint8_t& byte : d) {
      seed = seed * 1103515245u + 12345u;
      byte = uint8_t(seed >> 24);
    }
    return d;
  }();
  return data;
}

inline const std::string& manifestText() {
  static const std::string text = [] {
    std::string t =
        "http://files.example/client/quenzar.exe|.\\quenzar.exe|2712847316|402944|3|quenzar."
        "exe\n";
    char line[512];
    for (int i = 1; i < 10000; ++i) {
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

// "<ours> X MB/s beside <reference> Y MB/s (ratio Z)": each the best of
// kRounds runs taken in turns, so a busy moment of the machine decides neither.
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
    double end = now();
    oursBest = middle - start < oursBest ? middle - start : oursBest;
    referenceBest = end - middle < referenceBest ? end - middle : referenceBest;
  }
  char figure[256];
  snprintf(figure, sizeof figure, "%s %.1f MB/s beside %s %.1f MB/s (ratio %.3f)", oursName,
           double(bytes) / 1e6 / oursBest, referenceName, double(bytes) / 1e6 / referenceBest,
           referenceBest / oursBest);
  return figure;
}

// Writes the figures to stdout and to path (when given); false when it cannot.
inline bool report(const std::string& figures, const char* path) {
  fputs(figures.c_str(), stdout);
  FILE* out = path ? fopen(path, "w") : nullptr;
  if (out) {
    fputs(figures.c_str(), out);
    fclose(out);
  }
  return !path || out;
}

}  // namespace bench
