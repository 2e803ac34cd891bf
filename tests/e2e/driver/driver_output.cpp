#include "driver_output.h"

#include "app/resource.h"

namespace box_driver {
namespace {

LARGE_INTEGER g_start, g_frequency;
FILE* g_out = stdout;
CRITICAL_SECTION g_outputLock;
DWORD g_childPid = 0;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

BOOL CALLBACK CollectChildProcessWindow(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == g_childPid) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

void StartClock() {
  QueryPerformanceFrequency(&g_frequency);
  QueryPerformanceCounter(&g_start);
}

double ElapsedMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - g_start.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

void SetOutput(FILE* out) {
  InitializeCriticalSection(&g_outputLock);
  g_out = out;
}

void Emit(const std::string& line) {
  EnterCriticalSection(&g_outputLock);
  std::fputs(line.c_str(), g_out);
  std::fputc('\n', g_out);
  std::fflush(g_out);
  LeaveCriticalSection(&g_outputLock);
}

std::string JsonString(const std::wstring& text) {
  std::string out = "\"";
  for (unsigned char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Screen rectangle as a JSON array, so a picture can be cropped to the window.
std::string JsonRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  char text[80];
  std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", static_cast<long>(r.left), static_cast<long>(r.top),
                static_cast<long>(r.right), static_cast<long>(r.bottom));
  return text;
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

bool IsDialog(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpW(name, L"#32770") == 0;
}

void SetChildProcess(DWORD pid) { g_childPid = pid; }

std::vector<HWND> ChildTopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectChildProcessWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND WaitWindow(const std::vector<HWND>& windows) {
  for (HWND window : windows)
    if (IsDialog(window) && GetDlgItem(window, IDC_WAIT_TEXT)) return window;
  return nullptr;
}

HWND VisibleWaitWindow(const std::vector<HWND>& windows) {
  for (HWND window : windows)
    if (IsDialog(window) && GetDlgItem(window, IDC_WAIT_TEXT) && IsWindowVisible(window)) return window;
  return nullptr;
}

}  // namespace box_driver
