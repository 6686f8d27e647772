// Throughput of Rijndael-256 (32-byte key and block) in ECB, AES-128 on the
// unrolled path for comparison, and MD5.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "crypto/md5_digest.h"
#include "crypto/rijndael_cipher.h"

namespace {

const size_t kDataSize = 1u << 20;

void encipherLoop(benchmark::State& state, int keyLength, int blockLength) {
  std::vector<uint8_t> data(kDataSize, 0x5A), out(kDataSize);
  uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  RijndaelCipher cipher;
  cipher.initKey(key, nullptr, keyLength, blockLength);
  const size_t length = kDataSize - kDataSize % size_t(blockLength);
  for (auto _ : state) {
    cipher.encrypt(data.data(), out.data(), length, RijndaelCipher::ECB);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(length));
}

void BM_Rijndael256Ecb(benchmark::State& state) {
  encipherLoop(state, 32, 32);
}

void BM_Aes128Ecb(benchmark::State& state) {
  encipherLoop(state, 16, 16);
}

void BM_Md5(benchmark::State& state) {
  std::vector<uint8_t> data(kDataSize, 0xA5);
  for (auto _ : state) {
    std::string hex = md5Hex(data.data(), data.size());
    benchmark::DoNotOptimize(hex.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kDataSize));
}

}  // namespace

BENCHMARK(BM_Rijndael256Ecb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Aes128Ecb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Md5)->Unit(benchmark::kMillisecond);
