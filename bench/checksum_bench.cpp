// The file checksum (as this machine runs it, and through the tables alone)
// against zlib's crc32 over the same 64 MiB buffer.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "update/file_crc.h"

namespace {

const size_t kBufferSize = 64u << 20;

const std::vector<uint8_t>& buffer() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(kBufferSize);
    std::mt19937 rng(42);
    for (size_t i = 0; i < d.size(); i += 4) {
      uint32_t r = rng();
      for (int k = 0; k < 4; ++k)
        d[i + k] = uint8_t(r >> (8 * k));
    }
    return d;
  }();
  return data;
}

void BM_FileChecksum(benchmark::State& state) {
  const std::vector<uint8_t>& d = buffer();
  for (auto _ : state) {
    uint32_t crc = 0;
    updateCrc(d.data(), d.size(), &crc);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.size()));
}

// The fold of processors without the carry-less multiply.
void BM_FileChecksumTables(benchmark::State& state) {
  const std::vector<uint8_t>& d = buffer();
  for (auto _ : state)
    benchmark::DoNotOptimize(crcFoldTable(0, d.data(), d.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.size()));
}

void BM_ZlibCrc32(benchmark::State& state) {
  const std::vector<uint8_t>& d = buffer();
  for (auto _ : state) {
    uLong crc = crc32(0xFFFFFFFFu, d.data(), uInt(d.size()));
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.size()));
}

}  // namespace

BENCHMARK(BM_FileChecksum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileChecksumTables)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
