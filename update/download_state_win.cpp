#include "update/download_state.h"

char g_szTempFile[kTempFileSize];
char g_szPrimaryExe[260];
char g_szPercent[kPercentSize] = "0%";
volatile bool g_bPercentChanged;
volatile unsigned long g_nProgressTotal;
volatile unsigned long g_nProgressDone;
FileDescriptor* g_pxDownloadFile;
FileDescriptor* volatile g_pxShownFile;
int g_nDownloadSize;
unsigned char* g_pDownloadBuffer;
