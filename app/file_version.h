// The version resource of a module; only the file version is used.
#pragma once

#include <windows.h>

#include "app/launch_record.h"

class FileVersionInfo {
 public:
  FileVersionInfo() = default;
  ~FileVersionInfo() { reset(); }
  FileVersionInfo(const FileVersionInfo&) = delete;
  FileVersionInfo& operator=(const FileVersionInfo&) = delete;

  // Reads the version block of the module's file. False (and a reset record,
  // whose version reads 0 0 0 0) when it has none.
  bool load(HMODULE module);
  void reset();

  // major, minor, build, revision from the fixed file information.
  StubVersion fileVersion() const;
  WORD translationLanguage() const { return m_wLanguage; }
  WORD translationCodePage() const { return m_wCodePage; }
  unsigned translationCount() const { return m_nTranslations; }

 private:
  VS_FIXEDFILEINFO m_xFixed = {};
  BYTE* m_pData = nullptr;  // raw version data, owned
  WORD m_wLanguage = 0;
  WORD m_wCodePage = 0;
  unsigned m_nTranslations = 0;
};

// The stub's single version record, reset at shutdown.
extern FileVersionInfo g_xFileVersion;
