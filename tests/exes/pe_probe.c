/* A probe exe for scripts/check-exes.sh: the stagewell exes' six imports and
   a function the stack protector guards; the tests link it with and without
   each protection. */
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <stdio.h>
#include <string.h>

/* Writes past its buffer as far as asked: the canary check must end the run. */
__attribute__((noinline)) static int Overrun(size_t length) {
  volatile char buffer[16];
  for (size_t i = 0; i < length; ++i) buffer[i] = 'x';
  return buffer[0];
}

__attribute__((noinline)) static int Copied(const char* text) {
  char buffer[64];
  snprintf(buffer, sizeof buffer, "%s", text);
  return (int)strlen(buffer);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)instance, (void)previous, (void)show;
  if (command_line[0] == '?') {
    HKEY key = NULL;
    RegCloseKey(key);
    MessageBoxW(NULL, L"", L"", MB_OK);
    CoUninitialize();
    SysFreeString(NULL);
  }
  if (strncmp(command_line, "overrun", 7) == 0) return Overrun(strlen(command_line) * 8);
  return Copied(command_line);
}
