// The settings store: five helpers over the per-user registry. Results are 0
// on success and a Windows error code otherwise, except where noted.
#pragma once

#include <windows.h>

#include "app/settings_keys.h"

// Creates the key when missing and stores text as REG_SZ (terminator
// included). Only a key that cannot be created or opened counts as failure.
LONG writeRegistryString(HKEY root, const char* keyPath, const char* valueName, const char* text);

// Reads a string value into buffer (bufferSize bytes). A key that does not
// open empties the buffer and returns its error. A missing value leaves the
// buffer as the caller left it (callers zero it first) and returns 0. The
// text read is always terminated within the buffer; a value too long for the
// buffer reads as empty rather than as a cut-off path.
LONG readRegistryString(HKEY root,
                        const char* keyPath,
                        const char* valueName,
                        char* buffer,
                        DWORD bufferSize);

// Stores bytes as REG_BINARY; only key creation can fail.
LONG writeRegistryBinary(HKEY root,
                         const char* keyPath,
                         const char* valueName,
                         const void* data,
                         DWORD byteCount);

// Reads a binary value. The key's open error when it does not open; else 1
// when the value is missing or larger than *byteCount, 0 on success with
// *byteCount set to the bytes read.
LONG readRegistryBinary(HKEY root,
                        const char* keyPath,
                        const char* valueName,
                        void* buffer,
                        DWORD* byteCount);

// Deletes a value: 0 when the key opened, whether or not the value existed.
LONG deleteRegistryValue(HKEY root, const char* keyPath, const char* valueName);
