// Whether Windows saves the SSE2 registers across task switches. Windows 9x
// and NT 4.0 have no IsProcessorFeaturePresent or do not know the SSE2
// feature, and the registers of a program using them there could be lost;
// the function is therefore bound on first use and its absence means no.
#include <windows.h>

#include "update/crc_wide.h"

namespace {

// PF_XMMI64_INSTRUCTIONS_AVAILABLE: SSE2 present and enabled by the system.
const DWORD kFeatureSse2 = 10;

}  // namespace

bool systemKeepsVectorRegisters() {
  using IsProcessorFeaturePresentFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (!kernel)
    return false;
  auto isPresent = reinterpret_cast<IsProcessorFeaturePresentFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "IsProcessorFeaturePresent")));
  return isPresent && isPresent(kFeatureSse2);
}
