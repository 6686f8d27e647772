// Fuzzes the manifest parser, which reads what any server on the way may
// send. The input is handed over in a block of exactly its length, so the
// sanitizer catches a read past the received text. Besides that it checks
// the parser's promises on every accepted entry: each field terminated within
// its buffer and copied from the line, sizes within their ceiling, and a
// target that cannot leave the install folder, checked here independently.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "update/manifest.h"
#include "update/target_path.h"

namespace {

void require(bool condition) {
  if (!condition)
    abort();
}

bool inLine(const char* field, const uint8_t* line, size_t lineLength) {
  size_t n = strlen(field);
  if (n == 0)
    return true;
  for (size_t i = 0; i + n <= lineLength; ++i)
    if (memcmp(line + i, field, n) == 0)
      return true;
  return false;
}

void requireStaysInside(const char* target) {
  if (!target[0])
    return;
  require(target[0] != '\\' && target[0] != '/' && !strchr(target, ':'));
  const char* part = target;
  for (;;) {
    size_t n = strcspn(part, "\\/");
    require(n > 0 || part[n] != '\0');
    require(strspn(part, ". ") < n || n <= 1);         // no "..", "...", ".. "
    require(!(n == 1 && part[0] == '.' && !part[1]));  // not the folder itself
    if (!part[n])
      break;
    part += n + 1;
  }
}

void checkEntry(const FileDescriptor* e, const uint8_t* line, size_t lineLength) {
  require(memchr(e->szUrl, '\0', sizeof e->szUrl) && inLine(e->szUrl, line, lineLength));
  require(memchr(e->szTargetFilename, '\0', sizeof e->szTargetFilename) &&
          inLine(e->szTargetFilename, line, lineLength));
  require(memchr(e->szFileType, '\0', sizeof e->szFileType));
  require(memchr(e->szBaseName, '\0', sizeof e->szBaseName) && e->szBaseName[0] &&
          !strchr(e->szBaseName, '|') && inLine(e->szBaseName, line, lineLength));
  require(e->nFileSize >= 0 && uint32_t(e->nFileSize) <= kMaxEntrySize);
  require(e->nUncompressedSize <= kMaxEntrySize);
  require(e->bStubFile == (isStubFileName(e->szBaseName) ? 1 : 0));
  requireStaysInside(e->szTargetFilename);
  if (e->bCompressed && e->szTargetFilename[0]) {
    char stored[kTargetSize];
    require(makeStoredFileName(e->szTargetFilename, true, stored, sizeof stored));
    requireStaysInside(stored);
  }
}

}  // namespace

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
    checkEntry(e, data + position, consumed);
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
