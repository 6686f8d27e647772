// The checksum through the processor's carry-less multiply (PCLMULQDQ, with
// SSE2): a 200 MB client is checked in a fraction of the time the tables take.
// Used only when the processor has the instructions and the system saves the
// vector registers across task switches (Windows 2000 and later; Windows 9x
// and NT 4.0 take the table path).
#pragma once

#include <cstddef>
#include <cstdint>

// Inputs shorter than this take the table path: the vector set-up and the
// final 16-byte reduction cost more than they save.
const size_t kWideThreshold = 256;

// True when crcFoldWide may run on this machine. Asked once, then remembered.
bool crcWideUsable();

// The same result as crcFoldTable for any input; length at least 64 bytes.
// Must only be called when crcWideUsable() is true.
uint32_t crcFoldWide(uint32_t reg, const void* data, size_t length);

// Whether the system saves the SSE2 registers for every thread: asked of the
// system (update/crc_wide_system_win.cpp; the host's systems always do).
bool systemKeepsVectorRegisters();
