// Fuzzes the stub's tail reader, the input as the whole file: an accepted tail has its
// blocks before the table, plain terminated names, the affiliate terminated.
#include <cstdint>
#include <vector>

#include "app/stub_payload.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> file(data, data + size);
  MemoryImage image = {file.data(), file.size()};
  StubPayload payload;
  memset(&payload, 0x5A, sizeof payload);
  PayloadResult result = readStubPayload(size, readFromMemory, &image, &payload);
  if (result != PAYLOAD_OK) {
    require(payload.nFiles == 0 && payload.szAffiliate[0] == '\0');
    require(result == PAYLOAD_CORRUPT ||
            (size >= 2 && !(data[size - 2] == 0x55 && data[size - 1] == 0xAA)));
    return 0;
  }
  require(size >= kTailFixedSize && data[size - 2] == 0x55 && data[size - 1] == 0xAA);
  size_t affiliateLength = data[size - 4] | (data[size - 3] << 8);
  require(terminated(payload.szAffiliate, sizeof payload.szAffiliate) &&
          strlen(payload.szAffiliate) == affiliateLength &&
          memcmp(payload.szAffiliate, data + size - 4 - affiliateLength, affiliateLength) == 0);
  const unsigned char* t = data + size - 12 - affiliateLength;
  uint64_t tableStart =
      size - 12 - affiliateLength - (t[0] | (t[1] << 8) | (t[2] << 16) | (uint64_t(t[3]) << 24));
  require(payload.nFiles <= kMaxCarriedFiles);
  for (size_t i = 0; i < payload.nFiles; ++i) {
    const CarriedFile& f = payload.files[i];
    require(terminated(f.szName, sizeof f.szName) && f.szName[0] && !strpbrk(f.szName, "\\/:") &&
            strcmp(f.szName, "..") != 0);
    require(uint64_t(f.ulPosition) + f.ulSize <= tableStart);
  }
  return 0;
}
