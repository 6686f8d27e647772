// The host's systems (Linux, 64-bit or 32-bit) save the vector registers.
#include "update/crc_wide.h"

bool systemKeepsVectorRegisters() {
  return true;
}
