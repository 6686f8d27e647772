#include "update/download_state.h"

char g_szTempFile[kTempFileSize];
