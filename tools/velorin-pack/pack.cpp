#include "tools/velorin-pack/pack.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app/stub_payload.h"
#include "update/file_crc.h"

namespace {

bool readFile(const std::string& path, std::vector<unsigned char>* data) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
    return false;
  data->clear();
  unsigned char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
    data->insert(data->end(), chunk, chunk + got);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// Written beside the output first and renamed over it, so that a failed run
// leaves no half stub under the published name.
bool writeFile(const std::string& path, const std::vector<unsigned char>& data) {
  std::string temporary = path + ".packing";
  FILE* f = fopen(temporary.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (fclose(f) == 0) && ok;
  if (ok)
    ok = rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok)
    remove(temporary.c_str());
  return ok;
}

void put16(std::vector<unsigned char>* out, uint32_t value) {
  out->push_back(static_cast<unsigned char>(value));
  out->push_back(static_cast<unsigned char>(value >> 8));
}

void put32(std::vector<unsigned char>* out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

bool endsWithSignature(const std::vector<unsigned char>& data) {
  return data.size() >= 2 && data[data.size() - 2] == kTailSignature[0] &&
         data[data.size() - 1] == kTailSignature[1];
}

// The stub's own checksum: everything before the affiliate text.
uint32_t stubChecksum(const std::vector<unsigned char>& data) {
  int64_t covered =
      data.size() >= 4 ? trailerCoveredLength(data.size(), &data[data.size() - 4]) : -1;
  uint32_t crc = 0;
  updateCrc(data.data(), covered >= 0 ? static_cast<size_t>(covered) : data.size(), &crc);
  return crc;
}

PayloadResult readBack(const std::vector<unsigned char>& data, StubPayload* payload) {
  MemoryImage image = {data.data(), data.size()};
  return readStubPayload(data.size(), readFromMemory, &image, payload);
}

bool checkAffiliate(const PackOptions& options) {
  if (options.affiliate.empty() || isValidAffiliate(options.affiliate.c_str()))
    return true;
  fprintf(stderr,
          "velorin-pack: affiliate \"%s\": 1 to 255 letters, digits, '-' or '_' only "
          "(%zu characters given)\n",
          options.affiliate.c_str(), options.affiliate.size());
  return false;
}

void appendAffiliate(std::vector<unsigned char>* out, const std::string& affiliate) {
  out->insert(out->end(), affiliate.begin(), affiliate.end());
  put16(out, static_cast<uint32_t>(affiliate.size()));
  out->push_back(kTailSignature[0]);
  out->push_back(kTailSignature[1]);
}

// A packed stub that gets another affiliate: only its text and length change.
int relabel(const PackOptions& options, std::vector<unsigned char> data) {
  StubPayload before;
  if (readBack(data, &before) != PAYLOAD_OK) {
    fprintf(stderr, "velorin-pack: %s ends with the signature but its tail is damaged\n",
            options.input.c_str());
    return PACK_REFUSED;
  }
  uint32_t checksum = stubChecksum(data);
  size_t oldLength = strlen(before.szAffiliate);
  data.resize(data.size() - 4 - oldLength);
  appendAffiliate(&data, options.affiliate);
  StubPayload after;
  if (readBack(data, &after) != PAYLOAD_OK || after.nFiles != before.nFiles ||
      options.affiliate != after.szAffiliate || stubChecksum(data) != checksum) {
    fprintf(stderr,
            "velorin-pack: the re-labelled stub does not read back unchanged; not written\n");
    return PACK_SELF_CHECK;
  }
  if (!writeFile(options.output, data)) {
    fprintf(stderr, "velorin-pack: cannot write %s\n", options.output.c_str());
    return PACK_IO_FAILED;
  }
  printf("affiliate \"%s\" -> \"%s\"; checksum %u unchanged\n", before.szAffiliate,
         after.szAffiliate, checksum);
  return PACK_WRITTEN;
}

}  // namespace

int packStub(const PackOptions& options) {
  std::vector<unsigned char> data;
  if (!readFile(options.input, &data)) {
    fprintf(stderr, "velorin-pack: cannot read %s\n", options.input.c_str());
    return PACK_IO_FAILED;
  }
  if (!checkAffiliate(options))
    return PACK_REFUSED;
  if (endsWithSignature(data)) {
    if (options.affiliateGiven && options.files.empty())
      return relabel(options, std::move(data));
    fprintf(stderr, "velorin-pack: %s is already packed; only --affiliate alone may change it\n",
            options.input.c_str());
    return PACK_REFUSED;
  }

  bool refused = false;
  if (options.files.size() > kMaxCarriedFiles) {
    fprintf(stderr, "velorin-pack: %zu files to carry; at most %zu\n", options.files.size(),
            kMaxCarriedFiles);
    refused = true;
  }
  for (size_t i = 0; i < options.files.size(); ++i) {
    const std::string& name = options.files[i].name;
    if (name.size() >= kCarriedNameSize || name.find('\0') != std::string::npos ||
        !isPlainFileName(name.c_str())) {
      fprintf(stderr,
              "velorin-pack: \"%s\" is not a plain file name of fewer than %zu characters "
              "(no '\\', '/', ':', '..' or device name)\n",
              name.c_str(), kCarriedNameSize);
      refused = true;
    }
    for (size_t j = 0; j < i; ++j)
      if (strcasecmp(options.files[j].name.c_str(), name.c_str()) == 0) {
        fprintf(stderr, "velorin-pack: \"%s\" is carried twice\n", name.c_str());
        refused = true;
      }
  }
  if (refused)
    return PACK_REFUSED;

  std::vector<unsigned char> table;
  for (const PackFile& file : options.files) {
    std::vector<unsigned char> bytes;
    if (!readFile(file.path, &bytes)) {
      fprintf(stderr, "velorin-pack: cannot read %s\n", file.path.c_str());
      return PACK_IO_FAILED;
    }
    if (data.size() + bytes.size() >= UINT32_MAX - 65536) {
      fprintf(stderr, "velorin-pack: %s makes the stub larger than 4 GB\n", file.path.c_str());
      return PACK_REFUSED;
    }
    put16(&table, static_cast<uint32_t>(file.name.size()));
    table.insert(table.end(), file.name.begin(), file.name.end());
    put32(&table, static_cast<uint32_t>(data.size() + 1));  // 1-based
    put32(&table, static_cast<uint32_t>(bytes.size()));
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  data.insert(data.end(), table.begin(), table.end());
  put32(&data, static_cast<uint32_t>(table.size()));
  put32(&data, static_cast<uint32_t>(options.files.size()));
  appendAffiliate(&data, options.affiliate);

  StubPayload payload;
  if (readBack(data, &payload) != PAYLOAD_OK || payload.nFiles != options.files.size() ||
      options.affiliate != payload.szAffiliate) {
    fprintf(stderr, "velorin-pack: the packed stub does not read back; not written\n");
    return PACK_SELF_CHECK;
  }
  if (!writeFile(options.output, data)) {
    fprintf(stderr, "velorin-pack: cannot write %s\n", options.output.c_str());
    return PACK_IO_FAILED;
  }
  printf("%s: %zu files carried, affiliate \"%s\", checksum %u\n", options.output.c_str(),
         payload.nFiles, payload.szAffiliate, stubChecksum(data));
  return PACK_WRITTEN;
}

int listStub(const std::string& path) {
  std::vector<unsigned char> data;
  if (!readFile(path, &data)) {
    fprintf(stderr, "velorin-pack: cannot read %s\n", path.c_str());
    return PACK_IO_FAILED;
  }
  StubPayload payload;
  switch (readBack(data, &payload)) {
    case PAYLOAD_NONE:
      fprintf(stderr, "velorin-pack: %s is not packed (no signature at its end)\n", path.c_str());
      return PACK_REFUSED;
    case PAYLOAD_CORRUPT:
      fprintf(stderr, "velorin-pack: %s has a damaged tail\n", path.c_str());
      return PACK_REFUSED;
    case PAYLOAD_OK:
      break;
  }
  printf("affiliate\t%s\nchecksum\t%u\nfiles\t%zu\n", payload.szAffiliate, stubChecksum(data),
         payload.nFiles);
  for (size_t i = 0; i < payload.nFiles; ++i)
    printf("file\t%s\t%u\t%u\n", payload.files[i].szName, payload.files[i].ulPosition + 1,
           payload.files[i].ulSize);
  return PACK_WRITTEN;
}
