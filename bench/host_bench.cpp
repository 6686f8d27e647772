// Throughput beside references in the same run: the shared figures, cipher and digest
// over 1 MiB, and the line parse alone (each record freed at once, no 25 MB list).
#include <chrono>

#include "bench/bench_inputs.h"
#include "crypto/md5_digest.h"
#include "crypto/rijndael_cipher.h"

static double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int main(int argc, char** argv) {
  const std::vector<uint8_t>& data = bench::randomBytes();
  const size_t kCipherBytes = 1u << 20;
  std::vector<uint8_t> enciphered(kCipherBytes);
  uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  RijndaelCipher rijndael256, aes128;
  rijndael256.initKey(key, nullptr, 32, 32);
  aes128.initKey(key, nullptr, 16, 16);
  auto encipher = [&](RijndaelCipher& cipher) {
    return
        [&] { cipher.encrypt(data.data(), enciphered.data(), kCipherBytes, RijndaelCipher::ECB); };
  };
  auto md5 = [&] { bench::g_sink = uint32_t(md5Hex(data.data(), kCipherBytes).size()); };
  auto zlib = [&] { bench::g_sink = uint32_t(crc32(0xFFFFFFFFu, data.data(), kCipherBytes)); };

  const std::string& text = bench::manifestText();
  bool parsed = true;
  auto parseLines = [&] {
    for (size_t at = 0, used = 0; at < text.size() && parsed; at += used) {
      FileDescriptor* entry = parseFileDescriptor(text.data() + at, text.size() - at, &used);
      parsed = entry != nullptr;
      freeFileDescriptor(entry);
    }
  };
  auto split = [&] { bench::g_sink = uint32_t(bench::splitLinesAndFields(text)); };

  const char* line = "\n  ";
  std::string figures =
      "host benchmarks (best of 5, this machine):" + std::string(line) +
      bench::checksumAndParseFigures(seconds, line, &parsed) + line +
      bench::compare(seconds, kCipherBytes, "Rijndael-256 ECB", encipher(rijndael256),
                     "AES-128 ECB", encipher(aes128)) +
      line + bench::compare(seconds, kCipherBytes, "MD5", md5, "zlib crc32", zlib) + line +
      bench::compare(seconds, text.size(), "line parse alone", parseLines, "memchr split", split) +
      "\n";
  return bench::report(figures, parsed, argc > 1 ? argv[1] : nullptr);
}
