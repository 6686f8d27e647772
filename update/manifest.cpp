#include "update/manifest.h"

#include <cstdlib>
#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"
#include "update/target_path.h"

FileDescriptor* g_pxFileDescriptor = nullptr;

namespace {

// One field of a line: [begin, end), end at its "|" (not included).
struct Field {
  const char* begin;
  const char* end;
  size_t length() const { return static_cast<size_t>(end - begin); }
};

// The field that starts at *pCursor and ends at the next "|" before lineEnd;
// false when the line ends first. *pCursor moves past the "|".
bool takeField(const char** pCursor, const char* lineEnd, Field* field) {
  const char* begin = *pCursor;
  const char* bar =
      static_cast<const char*>(memchr(begin, '|', static_cast<size_t>(lineEnd - begin)));
  if (!bar)
    return false;
  *field = {begin, bar};
  *pCursor = bar + 1;
  return true;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal field: leading blanks skipped, one "+" or "-", digits up to the
// first non-digit, accumulated in 32 bits as they come, so 4294967295 reads
// as 0xFFFFFFFF. An empty or non-numeric field reads as 0.
uint32_t readDecimal(const Field& field) {
  const char* p = field.begin;
  while (p < field.end && isBlank(*p))
    ++p;
  bool negative = false;
  if (p < field.end && (*p == '+' || *p == '-'))
    negative = *p++ == '-';
  uint32_t value = 0;
  for (; p < field.end && *p >= '0' && *p <= '9'; ++p)
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  return negative ? 0u - value : value;
}

bool copyField(char* dst, size_t dstSize, const Field& field) {
  return copyTextPart(dst, dstSize, field.begin, field.length());
}

FileDescriptor* refuse(FileDescriptor* entry, const char* reason) {
  logMessage(LOG_WARNING, "parseFileDescriptor: line refused: %s", reason);
  freeFileDescriptor(entry);
  return nullptr;
}

// Fills entry from the line [line, lineEnd) (line end excluded); textEnd is
// the end of the received text, up to which the form-2 rule looks for the
// sixth field's "|". Null with the reason logged when refused.
FileDescriptor* parseLine(FileDescriptor* entry,
                          const char* line,
                          const char* lineEnd,
                          const char* textEnd) {
  if (memchr(line, '\0', static_cast<size_t>(lineEnd - line)))
    return refuse(entry, "zero byte in the line");
  const char* cursor = line;
  Field url, target, crc, size, type;
  if (!takeField(&cursor, lineEnd, &url) || !takeField(&cursor, lineEnd, &target) ||
      !takeField(&cursor, lineEnd, &crc) || !takeField(&cursor, lineEnd, &size) ||
      !takeField(&cursor, lineEnd, &type))
    return refuse(entry, "fewer than six fields");
  if (!copyField(entry->szUrl, sizeof entry->szUrl, url))
    return refuse(entry, "URL of 2084 characters or more");
  if (!copyField(entry->szTargetFilename, sizeof entry->szTargetFilename, target))
    return refuse(entry, "target of 260 characters or more");
  entry->ulExpectedCrc = readDecimal(crc);
  entry->nFileSize = static_cast<int32_t>(readDecimal(size));
  if (!copyField(entry->szFileType, sizeof entry->szFileType, type))
    return refuse(entry, "type of 2 characters or more");

  // The sixth field's "|" is looked for across line ends: a name of one
  // character followed by another line is still a name. With no "|" left in
  // the text the sixth field is the name.
  const char* bar =
      static_cast<const char*>(memchr(cursor, '|', static_cast<size_t>(textEnd - cursor)));
  if (bar && bar - cursor <= 1) {
    Field flag, usize;
    if (!takeField(&cursor, lineEnd, &flag) || !takeField(&cursor, lineEnd, &usize))
      return refuse(entry, "compression fields incomplete");
    entry->bCompressed = static_cast<int32_t>(readDecimal(flag));
    entry->nUncompressedSize = readDecimal(usize);
  }
  Field name = {cursor, lineEnd};
  if (name.length() == 0)
    return refuse(entry, "no name");
  if (memchr(name.begin, '|', name.length()))
    return refuse(entry, "name holds \"|\"");
  if (!copyField(entry->szBaseName, sizeof entry->szBaseName, name))
    return refuse(entry, "name of 128 characters or more");
  entry->bStubFile = isStubFileName(entry->szBaseName) ? 1 : 0;

  if (entry->nFileSize < 0 || static_cast<uint32_t>(entry->nFileSize) > kMaxEntrySize)
    return refuse(entry, "size negative or above 268435456");
  if (entry->nUncompressedSize > kMaxEntrySize)
    return refuse(entry, "inflated size above 268435456");
  if (!isSafeTargetPath(entry->szTargetFilename)) {
    logMessage(LOG_WARNING, "parseFileDescriptor: target %s leaves the install folder",
               entry->szTargetFilename);
    return refuse(entry, "target outside the install folder");
  }
  char stored[kTargetSize];
  if (entry->bCompressed && entry->szTargetFilename[0] &&
      !makeStoredFileName(entry->szTargetFilename, true, stored, sizeof stored))
    return refuse(entry, "compressed target without a file name extension to drop");
  return entry;
}

}  // namespace

FileDescriptor* parseFileDescriptor(const char* text, size_t length, size_t* pConsumed) {
  *pConsumed = 0;
  FileDescriptor* entry = static_cast<FileDescriptor*>(calloc(1, sizeof(FileDescriptor)));
  if (!entry) {
    logMessage(LOG_WARNING, "parseFileDescriptor: out of memory");
    return nullptr;
  }
  if (length == 0)
    return refuse(entry, "fewer than six fields");
  const char* textEnd = text + length;
  const char* newline = static_cast<const char*>(memchr(text, '\n', length));
  const char* lineEnd = newline ? newline : textEnd;
  size_t consumed = static_cast<size_t>(lineEnd - text) + (newline ? 1 : 0);
  // A "\r" before the line end belongs to the line end, so "\r\n" lines read
  // exactly like "\n" lines, name length limit included.
  if (lineEnd > text && lineEnd[-1] == '\r')
    --lineEnd;
  if (!parseLine(entry, text, lineEnd, textEnd))
    return nullptr;
  *pConsumed = consumed;
  return entry;
}

void appendFileDescriptor(FileDescriptor* entry) {
  entry->pNext = nullptr;
  FileDescriptor** link = &g_pxFileDescriptor;
  while (*link)
    link = &(*link)->pNext;
  *link = entry;
}

void freeFileDescriptor(FileDescriptor* entry) {
  free(entry);
}

void dropFirstFileDescriptor() {
  FileDescriptor* head = g_pxFileDescriptor;
  if (!head)
    return;
  g_pxFileDescriptor = head->pNext;
  freeFileDescriptor(head);
}

void freeFileDescriptorList() {
  while (g_pxFileDescriptor)
    dropFirstFileDescriptor();
}

int parseManifest(const char* text, size_t length) {
  freeFileDescriptorList();
  // The list is appended to in order, so keep its tail rather than walk it
  // for every line of a long manifest.
  FileDescriptor** tail = &g_pxFileDescriptor;
  size_t position = 0;
  while (position < length) {
    size_t consumed = 0;
    FileDescriptor* entry = parseFileDescriptor(text + position, length - position, &consumed);
    if (!entry)
      return MANIFEST_FAILED;
    entry->pNext = nullptr;
    *tail = entry;
    tail = &entry->pNext;
    position += consumed;
  }
  return MANIFEST_OK;
}

bool isStubFileName(const char* name) {
  return equalsIgnoreCase(name, kStubFileName);
}
