// What an update has to fetch, decided from the manifest list and the files
// on disk, and the progress figures shown while it downloads.
#pragma once

#include <cstddef>
#include <cstdint>

struct FileDescriptor;

// True when the entry must be downloaded: its stored file's checksum (stub
// trailer rule for the stub) differs from the expected one. An entry without
// a target, or with expected checksum 0, never is; a missing file has
// checksum 0 and therefore always is. Logs its decision.
bool validateFile(const FileDescriptor* pCurrentFile);

// Which downloads a phase counts.
enum DownloadPhase {
  PHASE_OTHER,               // nothing to download
  PHASE_FLASH_INSTALLATION,  // the first Flash installer entry (type "9")
  PHASE_SELF_UPDATE,         // the first stub entry (type "3")
  PHASE_UPDATE,              // every entry but the installer (type "8") that must be downloaded
};

// Bytes to download in a phase over the list starting at first. mustDownload
// decides each update entry (validateFile in the program). The sum saturates
// at 2147483647, the largest range the progress bar takes, rather than
// wrapping to a small or negative total.
uint32_t downloadTotal(const FileDescriptor* first,
                       DownloadPhase phase,
                       bool (*mustDownload)(const FileDescriptor*));

// Whole percent of done in total, truncated, kept within 0 ... 100; 0 when
// the total is 0 or less (nothing to measure against).
int progressPercent(int64_t done, int64_t total);

// Writes "%d%%" of progressPercent into text (textSize bytes). When the text
// held before was not empty, *pChanged tells whether its leading number
// differs from the new percent; otherwise *pChanged is left as it was.
void updatePercentText(char* text, size_t textSize, int64_t done, int64_t total, bool* pChanged);
