// Baseline for the whole-run timing: a minimal program of ours that shows the
// accepted box at once, so the ratio shows what the run itself costs.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxW(nullptr,
              L"\u05d4\u05de\u05d0\u05e1\u05d8\u05e8 \u05de\u05d5\u05db\u05df \u05dc\u05d4\u05ea\u05e7\u05e0\u05d4",
              L"\u05e1\u05d9\u05d5\u05dd \u05d4\u05e9\u05d9\u05d3\u05d5\u05e8", 0x181040);
  return 0;
}
