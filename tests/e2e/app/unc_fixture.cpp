// Test double of the maker's path-conversion library: exports only entries 1
// and 2 by number. A drive path "D:\rest" becomes "\\FILESRV\D\rest" (the
// narrow library's server is FILESRV9X, so a test sees which one converted);
// anything else is not converted.
#include <windows.h>

#ifdef UNC_WIDE
using Char = wchar_t;
#define TEXT_OF(s) L##s
constexpr Char kServer[] = L"\\\\FILESRV\\";
#else
using Char = char;
#define TEXT_OF(s) s
constexpr Char kServer[] = "\\\\FILESRV9X\\";
#endif

extern "C" {

__declspec(dllexport) unsigned short __cdecl UncSecond() { return 1; }

__declspec(dllexport) unsigned short __cdecl UncConvert(const Char* path, Char* output, int capacity) {
  if (!path || !path[0] || path[1] != TEXT_OF(':') || path[2] != TEXT_OF('\\')) return 0;
  int n = 0;
  for (const Char* p = kServer; *p && n < capacity - 1; ++p) output[n++] = *p;
  if (n < capacity - 1) output[n++] = path[0];
  for (const Char* p = path + 2; *p && n < capacity - 1; ++p) output[n++] = *p;
  output[n] = 0;
  return 1;
}
}
