// Runs the benchmarks with the console output and ends with a summary in
// MB/s (10^6 bytes per second), including the ratio of the file checksum to
// zlib's crc32 measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
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
    printf("\nthroughput summary (MB/s):\n");
    for (const auto& [name, rate] : rates_)
      printf("  %-22s %10.1f\n", name.c_str(), rate);
    auto ours = rates_.find("BM_FileChecksum");
    auto zlib = rates_.find("BM_ZlibCrc32");
    if (ours != rates_.end() && zlib != rates_.end() && zlib->second > 0)
      printf("  file checksum / zlib crc32 ratio: %.2f\n", ours->second / zlib->second);
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
