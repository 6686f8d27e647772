// Fuzzes the manifest parser over a block of exactly the input's length: every
// accepted entry has its fields terminated and sizes within the ceiling.
#include <cstdint>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "update/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  const char* base = text.data();

  // Line by line, as the fetch walks a body.
  size_t position = 0, lines = 0;
  bool refused = false;
  while (position < size) {
    size_t consumed = 12345;
    FileDescriptor* e = parseFileDescriptor(base + position, size - position, &consumed);
    if (!e) {
      require(consumed == 0);
      refused = true;
      break;
    }
    require(consumed > 0 && consumed <= size - position);
    const void* newline = memchr(base + position, '\n', size - position);
    require(newline ? base + position + consumed == static_cast<const char*>(newline) + 1
                    : consumed == size - position);
    require(terminated(e->szUrl, sizeof e->szUrl) &&
            terminated(e->szTargetFilename, sizeof e->szTargetFilename) &&
            terminated(e->szFileType, sizeof e->szFileType));
    require(terminated(e->szBaseName, sizeof e->szBaseName) && e->szBaseName[0] &&
            !strchr(e->szBaseName, '|'));
    require(e->nFileSize >= 0 && uint32_t(e->nFileSize) <= kMaxEntrySize &&
            e->nUncompressedSize <= kMaxEntrySize);
    require(e->bStubFile == (isStubFileName(e->szBaseName) ? 1 : 0));
    freeFileDescriptor(e);
    position += consumed;
    ++lines;
  }

  // The whole body: the same verdict and one entry per line taken.
  int result = parseManifest(base, size);
  require(result == (refused ? MANIFEST_FAILED : MANIFEST_OK));
  size_t listed = 0;
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext)
    ++listed;
  require(listed == lines);
  freeFileDescriptorList();
  return 0;
}
