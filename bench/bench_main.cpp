// Runs the benchmarks with the console output and ends with a summary in
// MB/s (10^6 bytes per second), including the ratio of each of ours to its
// reference measured in the same run (zlib's crc32 for the file checksum, a
// memchr line split for the manifest parser). With --summary-file=PATH the
// summary is also written there, for the test script to show.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    benchmark::ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end() && run.aggregate_name.empty())
        rates_[run.benchmark_name()] = it->second.value / 1e6;
    }
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    std::string summary = "throughput summary (MB/s):\n";
    char line[128];
    for (const auto& [name, rate] : rates_) {
      snprintf(line, sizeof line, "  %-22s %10.1f\n", name.c_str(), rate);
      summary += line;
    }
    // Each of ours beside its reference measured in the same run.
    const char* const kPairs[][3] = {
        {"BM_FileChecksum", "BM_ZlibCrc32", "file checksum / zlib crc32"},
        {"BM_FileChecksumTables", "BM_ZlibCrc32", "table fold alone / zlib crc32"},
        {"BM_ManifestParse", "BM_ManifestLineSplit", "manifest parse / memchr line split"},
        {"BM_ManifestLineParse", "BM_ManifestLineSplit", "line parse / memchr line split"},
    };
    for (const auto& pair : kPairs) {
      auto ours = rates_.find(pair[0]);
      auto reference = rates_.find(pair[1]);
      if (ours != rates_.end() && reference != rates_.end() && reference->second > 0) {
        snprintf(line, sizeof line, "  %s ratio: %.2f\n", pair[2],
                 ours->second / reference->second);
        summary += line;
      }
    }
    printf("\n%s", summary.c_str());
    if (!summaryPath_.empty()) {
      if (FILE* f = fopen(summaryPath_.c_str(), "w")) {
        fputs(summary.c_str(), f);
        fclose(f);
      }
    }
  }

  std::string summaryPath_;

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  SummaryReporter reporter;
  const char kSummaryFlag[] = "--summary-file=";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], kSummaryFlag, sizeof kSummaryFlag - 1) == 0)
      reporter.summaryPath_ = argv[i] + sizeof kSummaryFlag - 1;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
