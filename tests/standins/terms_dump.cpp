// terms_dump PATH: writes the terms text as velorin.exe builds it to PATH.
#include <cstdio>
#include <cstring>

#include "ui/terms_text.h"

int main(int argc, char** argv) {
  FILE* out = argc == 2 ? fopen(argv[1], "wb") : nullptr;
  if (!out)
    return argc == 2 ? 1 : 2;
  buildTermsText();
  size_t length = strlen(g_szTermsText);
  bool written = fwrite(g_szTermsText, 1, length, out) == length;
  return fclose(out) == 0 && written ? 0 : 1;
}
