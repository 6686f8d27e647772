// Throughput on this machine, each figure beside its reference in the same
// run: the file checksum (as this machine runs it, and the table fold alone)
// beside zlib's crc32 over 64 MiB; Rijndael-256 beside AES-128 in ECB and MD5
// beside zlib's crc32 over 1 MiB; the manifest parser over 10,000 lines beside
// a memchr split of the same text. A parsed list holds each record's fixed
// buffers (2.5 KB, 25 MB in all); the line parse alone (each record freed at
// once) shows what the parsing costs without that memory.
#include <zlib.h>

#include <chrono>

#include "bench/bench_inputs.h"
#include "crypto/md5_digest.h"
#include "crypto/rijndael_cipher.h"
#include "update/crc_wide.h"
#include "update/file_crc.h"
#include "update/manifest.h"

namespace {

double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

volatile uint32_t g_sink;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<uint8_t>& data = bench::randomBytes();
  auto zlibOver = [&](size_t n) {
    return [&data, n] { g_sink = uint32_t(crc32(0xFFFFFFFFu, data.data(), uInt(n))); };
  };
  auto checksum = [&] {
    uint32_t crc = 0;
    updateCrc(data.data(), data.size(), &crc);
    g_sink = crc;
  };
  auto tables = [&] { g_sink = crcFoldTable(0, data.data(), data.size()); };

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
  auto md5 = [&] { g_sink = uint32_t(md5Hex(data.data(), kCipherBytes).size()); };

  const std::string& text = bench::manifestText();
  bool parsed = true;
  auto parse = [&] {
    parsed = parseManifest(text.data(), text.size()) == MANIFEST_OK && parsed;
    freeFileDescriptorList();
  };
  auto parseLines = [&] {
    for (size_t at = 0, used = 0; at < text.size() && parsed; at += used) {
      FileDescriptor* entry = parseFileDescriptor(text.data() + at, text.size() - at, &used);
      parsed = entry != nullptr;
      freeFileDescriptor(entry);
    }
  };
  auto split = [&] { g_sink = uint32_t(bench::splitLinesAndFields(text)); };

  std::string figures =
      "host benchmarks (best of 5, this machine):\n  " +
      bench::compare(
          seconds, data.size(),
          crcWideUsable() ? "file checksum (carry-less multiply)" : "file checksum (tables)",
          checksum, "zlib crc32", zlibOver(data.size())) +
      "\n  " +
      bench::compare(seconds, data.size(), "table fold alone", tables, "zlib crc32",
                     zlibOver(data.size())) +
      "\n  " +
      bench::compare(seconds, kCipherBytes, "Rijndael-256 ECB", encipher(rijndael256),
                     "AES-128 ECB", encipher(aes128)) +
      "\n  " +
      bench::compare(seconds, kCipherBytes, "MD5", md5, "zlib crc32", zlibOver(kCipherBytes)) +
      "\n  " +
      bench::compare(seconds, text.size(), "manifest parse", parse, "memchr line split", split) +
      "\n  " +
      bench::compare(seconds, text.size(), "line parse alone", parseLines, "memchr line split",
                     split) +
      "\n";
  if (!parsed) {
    fprintf(stderr, "the benchmark manifest was refused\n");
    return 1;
  }
  return bench::report(figures, argc > 1 ? argv[1] : nullptr) ? 0 : 1;
}
