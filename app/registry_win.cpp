#include "app/registry.h"

#include "app/win_handles.h"

LONG writeRegistryString(HKEY root, const char* keyPath, const char* valueName, const char* text) {
  ScopedRegKey key;
  LONG error = RegCreateKeyA(root, keyPath, key.receive());
  if (error != ERROR_SUCCESS)
    return error;
  RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(lstrlenA(text) + 1));
  return ERROR_SUCCESS;
}

LONG readRegistryString(HKEY root,
                        const char* keyPath,
                        const char* valueName,
                        char* buffer,
                        DWORD bufferSize) {
  ScopedRegKey key;
  LONG error = RegOpenKeyA(root, keyPath, key.receive());
  if (error != ERROR_SUCCESS) {
    if (bufferSize)
      buffer[0] = '\0';
    return error;
  }
  if (bufferSize == 0)
    return ERROR_SUCCESS;
  DWORD size = bufferSize;
  LONG query = RegQueryValueExA(key.get(), valueName, nullptr, nullptr,
                                reinterpret_cast<BYTE*>(buffer), &size);
  if (query == ERROR_MORE_DATA) {
    // The buffer's content is undefined after this answer.
    buffer[0] = '\0';
  } else if (query == ERROR_SUCCESS) {
    // A value stored without its terminator still reads as a terminated text
    // when there is room for one. One that fills the buffer without a
    // terminator did not fit: dropping its last character would give another
    // path, so it reads as empty.
    if (size < bufferSize)
      buffer[size] = '\0';
    else if (buffer[bufferSize - 1] != '\0')
      buffer[0] = '\0';
  }
  return ERROR_SUCCESS;
}

LONG writeRegistryBinary(HKEY root,
                         const char* keyPath,
                         const char* valueName,
                         const void* data,
                         DWORD byteCount) {
  ScopedRegKey key;
  LONG error = RegCreateKeyA(root, keyPath, key.receive());
  if (error != ERROR_SUCCESS)
    return error;
  RegSetValueExA(key.get(), valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), byteCount);
  return ERROR_SUCCESS;
}

LONG readRegistryBinary(HKEY root,
                        const char* keyPath,
                        const char* valueName,
                        void* buffer,
                        DWORD* byteCount) {
  ScopedRegKey key;
  LONG error = RegOpenKeyA(root, keyPath, key.receive());
  if (error != ERROR_SUCCESS)
    return error;
  LONG query = RegQueryValueExA(key.get(), valueName, nullptr, nullptr, static_cast<BYTE*>(buffer),
                                byteCount);
  return query == ERROR_SUCCESS ? 0 : 1;
}

LONG deleteRegistryValue(HKEY root, const char* keyPath, const char* valueName) {
  ScopedRegKey key;
  LONG error = RegOpenKeyA(root, keyPath, key.receive());
  if (error != ERROR_SUCCESS)
    return error;
  RegDeleteValueA(key.get(), valueName);
  return ERROR_SUCCESS;
}
