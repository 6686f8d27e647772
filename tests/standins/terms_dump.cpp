// terms_dump PATH: writes the terms text exactly as velorin.exe builds it
// (buildTermsText into g_szTermsText) to PATH, so a scenario can compare it
// with what the window's terms control holds.
#include <cstdio>
#include <cstring>

#include "ui/terms_text.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: terms_dump PATH\n");
    return 2;
  }
  buildTermsText();
  FILE* out = fopen(argv[1], "wb");
  if (!out)
    return 1;
  size_t length = strlen(g_szTermsText);
  bool written = fwrite(g_szTermsText, 1, length, out) == length;
  return fclose(out) == 0 && written ? 0 : 1;
}
