#include "ui/flash_version.h"

bool flashVersionSuffices(uint32_t answer) {
  return (answer >> 16) >= static_cast<uint32_t>(kRequiredFlashVersion);
}
