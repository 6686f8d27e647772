// The manifest the parsing benchmarks read: 10,000 lines as the release tool
// writes them (a stub entry first, a third compressed in the second form,
// CRLF line ends on every other line). Shared by the host benchmarks and the
// shipped-code benchmark that runs under Wine.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

constexpr int kLines = 10000;

// Lines as the release tool writes them: a third compressed (form 2), CRLF
// line ends on every other line, a stub entry first.
inline const std::string& manifestText() {
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

}  // namespace bench
