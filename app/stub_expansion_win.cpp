// Writes the files carried in the executable's tail into the current folder
// and settles the affiliate identifier. The tail is read and checked whole
// (app/stub_payload.h) before anything is written.
#include <windows.h>

#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/stub_expansion.h"
#include "app/win_handles.h"

namespace {

bool readAt(void* context, uint64_t offset, void* buffer, size_t size) {
  HANDLE file = static_cast<HANDLE>(context);
  LONG high = static_cast<LONG>(offset >> 32);
  if (SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  DWORD got = 0;
  return ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr) && got == size;
}

// Copies one block of the executable into a new file of that name; a file
// that could not be written whole is deleted again.
bool writeCarriedFile(HANDLE executable, const CarriedFile& carried) {
  ScopedHandle out(CreateFileA(carried.szName, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.valid()) {
    OutputDebugStringA("Could not open file.");
    logMessage(LOG_WARNING, "expandStub: cannot create %s (error %u); skipped", carried.szName,
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  static char chunk[65536];
  uint32_t done = 0;
  while (done < carried.ulSize) {
    DWORD part = carried.ulSize - done < sizeof chunk ? carried.ulSize - done : sizeof chunk;
    DWORD written = 0;
    if (!readAt(executable, uint64_t(carried.ulPosition) + done, chunk, part) ||
        !WriteFile(out.get(), chunk, part, &written, nullptr) || written != part) {
      logMessage(LOG_FAIL, "expandStub: %s written short (%u of %u bytes, error %u); removed",
                 carried.szName, static_cast<unsigned>(done + written),
                 static_cast<unsigned>(carried.ulSize), static_cast<unsigned>(GetLastError()));
      out.reset();
      DeleteFileA(carried.szName);
      return false;
    }
    done += part;
  }
  return true;
}

void settleAffiliate(const char* stored, const char* carried) {
  AffiliateChoice choice = chooseAffiliate(stored, carried);
  if (choice.bRecord && writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_AFFILIATE,
                                            choice.szUse) != ERROR_SUCCESS)
    logMessage(LOG_WARNING, "expandStub: affiliate not recorded");
  copyText(g_szAffiliate, sizeof g_szAffiliate, choice.szUse);  // same bound: always fits
}

}  // namespace

ExpandResult expandStub(const char* ownPath) {
  char stored[kAffiliateSize] = {};
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_AFFILIATE, stored, sizeof stored);
  memset(g_szExternalFiles, 0, sizeof g_szExternalFiles);
  g_szAffiliate[0] = '\0';

  ScopedHandle executable(CreateFileA(ownPath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!executable.valid()) {
    OutputDebugStringA("Could not open file.");
    return EXPAND_FAILED;
  }
  DWORD high = 0;
  DWORD low = GetFileSize(executable.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return EXPAND_FAILED;
  uint64_t size = (uint64_t(high) << 32) | low;

  static StubPayload payload;
  switch (readStubPayload(size, readAt, executable.get(), &payload)) {
    case PAYLOAD_NONE:
      // Nothing carried: the stored identifier alone counts.
      settleAffiliate(stored, nullptr);
      return EXPAND_DONE;
    case PAYLOAD_CORRUPT:
      logMessage(LOG_FAIL, "expandStub: the tail of %s is cut short or damaged", ownPath);
      return EXPAND_FAILED;
    case PAYLOAD_OK:
      break;
  }

  DWORD folderLength = GetCurrentDirectoryA(sizeof g_szExpansionFolder, g_szExpansionFolder);
  if (folderLength == 0 || folderLength >= sizeof g_szExpansionFolder)
    g_szExpansionFolder[0] = '\0';
  size_t recorded = 0;
  for (size_t i = 0; i < payload.nFiles; ++i) {
    if (!writeCarriedFile(executable.get(), payload.files[i]))
      continue;
    copyText(g_szExternalFiles[recorded++], kCarriedNameSize, payload.files[i].szName);
    logMessage(LOG_INFO, "expandStub: wrote %s (%u bytes)", payload.files[i].szName,
               static_cast<unsigned>(payload.files[i].ulSize));
  }
  settleAffiliate(stored, payload.szAffiliate);
  return EXPAND_DONE;
}

void deleteExternalFiles(const char* folder) {
  // The files were written where the run started from or in the install
  // folder; an install during the run moves the install folder elsewhere, so
  // they are deleted where they were written.
  const char* where = g_szExpansionFolder[0] ? g_szExpansionFolder : folder;
  if (where && where[0])
    SetCurrentDirectoryA(where);
  for (size_t i = 0; i < kMaxCarriedFiles && g_szExternalFiles[i][0]; ++i) {
    if (!DeleteFileA(g_szExternalFiles[i]))
      logMessage(LOG_WARNING, "deleteExternalFiles: %s not deleted (error %u)",
                 g_szExternalFiles[i], static_cast<unsigned>(GetLastError()));
    g_szExternalFiles[i][0] = '\0';
  }
}
