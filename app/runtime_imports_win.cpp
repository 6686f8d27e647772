// Stand-ins for three system functions that the compiler's runtime libraries
// import but that Windows 98 and Me lack, or only export as stubs that fail:
//  - IsDBCSLeadByteEx (NT family only), used by the C runtime's multibyte
//    conversion behind the formatted-output functions;
//  - GetModuleHandleW, used by the C runtime to find msvcrt.dll's code-page
//    query;
//  - CreateSemaphoreW, used by the compiler runtime's lock around exception
//    unwinding tables.
// Each is defined here under the name of its import slot, so the linker
// takes this definition and the executable's import table never names the
// system function. The stand-ins call functions that every supported
// Windows has. This file is linked into velorin.exe as an object of its own, like the entry point,
// (not through the library) so that it is seen before the system libraries.
#include <windows.h>

namespace {

BOOL WINAPI isLeadByteOfCodePage(UINT codePage, BYTE testChar) {
  CPINFO info;
  if (!GetCPInfo(codePage, &info))
    return FALSE;
  // LeadByte holds pairs of inclusive ranges, ended by a pair of zeros.
  for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
    if (testChar >= info.LeadByte[i] && testChar <= info.LeadByte[i + 1])
      return TRUE;
  }
  return FALSE;
}

// Narrows a module or object name. Only ASCII names are asked for by the
// runtime; any other character refuses the conversion.
bool narrowAsciiName(const wchar_t* name, char* out, size_t outSize) {
  size_t i = 0;
  for (; name[i]; ++i) {
    if (name[i] > 0x7F || i + 1 >= outSize)
      return false;
    out[i] = static_cast<char>(name[i]);
  }
  out[i] = '\0';
  return true;
}

HMODULE WINAPI moduleHandleOfWideName(LPCWSTR name) {
  if (!name)
    return GetModuleHandleA(nullptr);
  char narrow[MAX_PATH];
  if (!narrowAsciiName(name, narrow, sizeof narrow)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return GetModuleHandleA(narrow);
}

HANDLE WINAPI semaphoreOfWideName(LPSECURITY_ATTRIBUTES attributes, LONG initialCount,
                                  LONG maximumCount, LPCWSTR name) {
  if (!name)
    return CreateSemaphoreA(attributes, initialCount, maximumCount, nullptr);
  char narrow[MAX_PATH];
  if (!narrowAsciiName(name, narrow, sizeof narrow)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateSemaphoreA(attributes, initialCount, maximumCount, narrow);
}

}  // namespace

// The import slots: pointers named as the import library names them (the
// 32-bit names carry the stdcall decoration, the 64-bit test build's do not).
#if defined(__i386__)
#define IMPORT_SLOT(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#else
#define IMPORT_SLOT(name, argumentBytes) "__imp_" #name
#endif
extern "C" {
extern void* const g_pfnIsDBCSLeadByteEx __asm__(IMPORT_SLOT(IsDBCSLeadByteEx, 8));
void* const g_pfnIsDBCSLeadByteEx = reinterpret_cast<void*>(&isLeadByteOfCodePage);
extern void* const g_pfnGetModuleHandleW __asm__(IMPORT_SLOT(GetModuleHandleW, 4));
void* const g_pfnGetModuleHandleW = reinterpret_cast<void*>(&moduleHandleOfWideName);
extern void* const g_pfnCreateSemaphoreW __asm__(IMPORT_SLOT(CreateSemaphoreW, 16));
void* const g_pfnCreateSemaphoreW = reinterpret_cast<void*>(&semaphoreOfWideName);
}
