#include "app/companion_path.h"

#include <cstring>

#include "app/bounded_text.h"

bool besideOwnExecutable(const char* ownPath, const char* name, char* out, size_t outSize) {
  const char* slash = strrchr(ownPath, '\\');
  if (!slash) {
    copyText(out, outSize, "");
    return false;
  }
  // The folder with its closing "\", then the name.
  if (copyTextPart(out, outSize, ownPath, static_cast<size_t>(slash - ownPath) + 1) &&
      appendText(out, outSize, name))
    return true;
  copyText(out, outSize, "");
  return false;
}
