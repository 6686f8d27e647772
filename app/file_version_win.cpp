#include "app/file_version.h"

#include <cstring>

FileVersionInfo g_xFileVersion;

bool FileVersionInfo::load(HMODULE module) {
  reset();
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path)
    return false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0)
    return false;
  m_pData = new BYTE[size]();
  if (!GetFileVersionInfoA(path, 0, size, m_pData)) {
    reset();
    return false;
  }
  void* block = nullptr;
  UINT blockSize = 0;
  if (!VerQueryValueA(m_pData, "\\", &block, &blockSize) || blockSize < sizeof m_xFixed) {
    reset();
    return false;
  }
  memcpy(&m_xFixed, block, sizeof m_xFixed);
  if (m_xFixed.dwSignature != 0xFEEF04BD) {
    reset();
    return false;
  }
  if (!VerQueryValueA(m_pData, "\\VarFileInfo\\Translation", &block, &blockSize) || blockSize < 4) {
    reset();
    return false;
  }
  const WORD* translation = static_cast<const WORD*>(block);
  m_wLanguage = translation[0];
  m_wCodePage = translation[1];
  m_nTranslations = blockSize / 4;
  return true;
}

void FileVersionInfo::reset() {
  delete[] m_pData;
  m_pData = nullptr;
  memset(&m_xFixed, 0, sizeof m_xFixed);
  m_wLanguage = m_wCodePage = 0;
  m_nTranslations = 0;
}

StubVersion FileVersionInfo::fileVersion() const {
  return {{HIWORD(m_xFixed.dwFileVersionMS), LOWORD(m_xFixed.dwFileVersionMS),
           HIWORD(m_xFixed.dwFileVersionLS), LOWORD(m_xFixed.dwFileVersionLS)}};
}
