#include "ui/terms_text.h"

#include "app/bounded_text.h"

char g_szTermsText[kTermsTextSize];

void buildTermsText() {
  g_szTermsText[0] = '\0';
  appendText(g_szTermsText, sizeof g_szTermsText, "TERMS AND CONDITIONS\n");
}
