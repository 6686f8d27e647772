// The product manifest "product.txt": one line per client file, parsed into a
// singly linked list of FileDescriptor records in manifest order.
//
// Line forms, fields separated by "|", lines ending in "\n" (a "\r" before it
// is part of the line end; the last line may lack its line end):
//   1. url|target|crc|size|type|name
//   2. url|target|crc|size|type|flag|usize|name
// Form 2 is recognised by the sixth field: when the text from its start to the
// next "|" (looked for across line ends, never past the received text) is at
// most one character long, it is the compression flag and usize follows.
#pragma once

#include <cstddef>
#include <cstdint>

// Buffer sizes in bytes, terminator included. A field that does not fit is
// refused, never cut: a cut URL or path would name another file.
constexpr size_t kUrlSize = 2084;
constexpr size_t kTargetSize = 260;
constexpr size_t kFileTypeSize = 2;
constexpr size_t kBaseNameSize = 128;

// Largest download (nFileSize) and inflated size (nUncompressedSize) a line
// may ask for: 256 MiB. The worker holds a whole download in one heap block
// and, for a compressed file, the inflated copy beside it; two blocks of this
// size still fit in the 2 GB address space of a 32-bit process.
constexpr uint32_t kMaxEntrySize = 256u << 20;

// Installed file name of the stub; an entry of that base name has its
// checksum taken without the stub's tail trailer.
constexpr const char* kStubFileName = "quenzar.exe";

// Type codes (szFileType, compared ignoring case).
constexpr const char* kTypePrimaryExe = "1";
constexpr const char* kTypeStub = "3";
constexpr const char* kTypeInstaller = "8";
constexpr const char* kTypeFlashInstaller = "9";

struct FileDescriptor {
  char szUrl[kUrlSize];                // absolute HTTP URL of the download
  char szTargetFilename[kTargetSize];  // relative path; empty: no file on disk
  int32_t nFileSize;                   // bytes served (compressed size if compressed)
  char szFileType[kFileTypeSize];      // one character or empty
  char szBaseName[kBaseNameSize];      // bare file name, shown while downloading
  uint32_t ulExpectedCrc;              // checksum of the stored file; 0: never checked
  int32_t bStubFile;                   // 1 when szBaseName is "quenzar.exe" (any case)
  int32_t bCompressed;                 // non-zero: a zlib stream, inflated after download
  uint32_t nUncompressedSize;          // bytes after inflation; 0 for form 1
  FileDescriptor* pNext;               // next entry in manifest order
};

// Head of the manifest list. Written by the manifest thread while it fetches
// (the window does not read it then) and afterwards, between downloads, by the
// GUI thread, which unlinks and frees entries from the head.
extern FileDescriptor* g_pxFileDescriptor;

// Results of one manifest fetch.
enum ManifestFetchResult {
  MANIFEST_OK = 1,               // the list holds every line (possibly none)
  MANIFEST_FAILED = 0,           // no connection, or a line was refused
  MANIFEST_BAD_STATUS = -1,      // the server answered other than "200"
  MANIFEST_REQUEST_FAILED = -2,  // the request could not be opened
};

// Parses the line starting at text; length is the number of bytes from there
// to the end of the received text, which is never read past (the text need
// not be zero-terminated, and it is not changed). Returns a new zero-filled
// record owned by the caller (free it with freeFileDescriptor), with
// *pConsumed set to the bytes used, line end included; or null when the line
// is refused (the reason is logged), *pConsumed then 0.
//
// Refused besides over-long fields (URL 2084, target 260, type 2, name 128
// characters or more): a line with fewer fields than its form needs (a blank
// line included), an empty name or one holding "|", a zero byte in the line, a
// negative size or one above kMaxEntrySize, a target that would leave the
// install folder (see isSafeTargetPath) and a compressed entry without a
// stored name of its own.
FileDescriptor* parseFileDescriptor(const char* text, size_t length, size_t* pConsumed);

// Links entry at the tail of the list (or makes it the head) and clears its
// pNext. The list then owns it.
void appendFileDescriptor(FileDescriptor* entry);

// Frees one record that is not (or no longer) in the list.
void freeFileDescriptor(FileDescriptor* entry);

// Unlinks the head of the list and frees it; nothing when the list is empty.
void dropFirstFileDescriptor();

// Frees every entry and leaves g_pxFileDescriptor null.
void freeFileDescriptorList();

// Rebuilds the list from a received manifest body of length bytes: empties
// it, then parses and appends line after line. MANIFEST_OK when every line
// was taken (an empty body gives an empty list); MANIFEST_FAILED at the first
// refused line, whose predecessors stay in the list until the next fetch.
int parseManifest(const char* text, size_t length);

// True when name equals "quenzar.exe" ignoring case.
bool isStubFileName(const char* name);
