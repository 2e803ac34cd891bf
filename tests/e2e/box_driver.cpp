// Test driver: starts a program under Wine, reports every message box it shows
// (caption, text, styles, whether the wait window is visible), presses OK, and
// answers the internet authentication dialog. One JSON object per line, UTF-8.
//
//   box_driver.exe [--timeout MS] [--hold MS] [--user U --password P | --cancel-auth]
//                  [--out FILE] -- program.exe [args...]

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kBoxTextId = 0xFFFF;
constexpr int kWaitTextId = 1033;

struct Options {
  DWORD timeoutMs = 60000;
  DWORD holdMs = 0;
  std::wstring user, password;
  bool answerAuth = false;
  bool cancelAuth = false;
  std::wstring outPath;
  std::wstring commandLine;
};

FILE* g_out = stdout;
DWORD g_childPid = 0;
LARGE_INTEGER g_start, g_frequency;

double ElapsedMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - g_start.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
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

void Emit(const std::string& line) {
  std::fputs(line.c_str(), g_out);
  std::fputc('\n', g_out);
  std::fflush(g_out);
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, &text[0], length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

bool IsDialog(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpW(name, L"#32770") == 0;
}

BOOL CALLBACK CollectChildProcessWindow(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == g_childPid) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> ChildTopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectChildProcessWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND VisibleWaitWindow(const std::vector<HWND>& windows) {
  for (HWND window : windows)
    if (IsDialog(window) && GetDlgItem(window, kWaitTextId) && IsWindowVisible(window)) return window;
  return nullptr;
}

bool WaitWindowVisible(const std::vector<HWND>& windows) { return VisibleWaitWindow(windows) != nullptr; }

BOOL CALLBACK CollectEditControl(HWND child, LPARAM param) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (lstrcmpiW(name, L"Edit") == 0 && IsWindowVisible(child) && IsWindowEnabled(child))
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
  return TRUE;
}

std::vector<HWND> EditControls(HWND dialog) {
  std::vector<HWND> edits;
  EnumChildWindows(dialog, CollectEditControl, reinterpret_cast<LPARAM>(&edits));
  return edits;
}

void Press(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void ReportBox(HWND box, const std::vector<HWND>& windows, const Options& options) {
  HWND textControl = GetDlgItem(box, kBoxTextId);
  char numbers[160];
  std::snprintf(numbers, sizeof numbers,
                ",\"wait_visible\":%s,\"exstyle\":%lu,\"text_style\":%lu,\"ms\":%.1f}",
                WaitWindowVisible(windows) ? "true" : "false",
                static_cast<unsigned long>(GetWindowLongW(box, GWL_EXSTYLE)),
                static_cast<unsigned long>(GetWindowLongW(textControl, GWL_STYLE)), ElapsedMs());
  Emit("{\"event\":\"box\",\"title\":" + JsonString(WindowText(box)) +
       ",\"text\":" + JsonString(WindowText(textControl)) + ",\"rect\":" + JsonRect(box) + numbers);
  if (options.holdMs) Sleep(options.holdMs);
  Press(box, IDOK);
}

void AnswerAuth(HWND dialog, const Options& options) {
  std::vector<HWND> edits = EditControls(dialog);
  Emit("{\"event\":\"auth\",\"title\":" + JsonString(WindowText(dialog)) + ",\"edits\":" +
       std::to_string(edits.size()) + "}");
  if (options.cancelAuth || !options.answerAuth || edits.size() < 2) {
    Press(dialog, IDCANCEL);
    return;
  }
  SendMessageW(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(options.user.c_str()));
  SendMessageW(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(options.password.c_str()));
  Press(dialog, IDOK);
}

// A message box is a dialog with the static text 0xFFFF; the wait window and the
// authentication dialog are dialogs too, told apart by their controls.
void Inspect(std::set<HWND>& handled, const Options& options, bool& waitSeen) {
  std::vector<HWND> windows = ChildTopLevelWindows();
  // Reported once the run has placed it and set its text.
  HWND wait = VisibleWaitWindow(windows);
  if (!waitSeen && wait && GetWindowTextLengthW(GetDlgItem(wait, kWaitTextId)) > 0) {
    waitSeen = true;
    char line[64];
    std::snprintf(line, sizeof line, ",\"ms\":%.1f}", ElapsedMs());
    Emit("{\"event\":\"wait\",\"text\":" + JsonString(WindowText(GetDlgItem(wait, kWaitTextId))) +
         ",\"rect\":" + JsonRect(wait) + line);
    if (options.holdMs) Sleep(options.holdMs);
  }
  for (HWND window : windows) {
    if (handled.count(window) || !IsDialog(window) || !IsWindowVisible(window)) continue;
    if (GetDlgItem(window, kWaitTextId)) continue;
    // The password dialog has a 0xFFFF static too; its edit fields tell it apart.
    if (!EditControls(window).empty()) {
      handled.insert(window);
      AnswerAuth(window, options);
    } else if (GetDlgItem(window, kBoxTextId)) {
      handled.insert(window);
      ReportBox(window, windows, options);
    }
  }
}

std::wstring Quote(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (wchar_t c : argument) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::wstring arg = argv[i];
    auto next = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
    if (arg == L"--") {
      ++i;
      break;
    } else if (arg == L"--timeout") {
      options.timeoutMs = static_cast<DWORD>(_wtoi(next().c_str()));
    } else if (arg == L"--hold") {
      options.holdMs = static_cast<DWORD>(_wtoi(next().c_str()));
    } else if (arg == L"--user") {
      options.user = next();
      options.answerAuth = true;
    } else if (arg == L"--password") {
      options.password = next();
    } else if (arg == L"--cancel-auth") {
      options.cancelAuth = true;
    } else if (arg == L"--out") {
      options.outPath = next();
    } else {
      return false;
    }
  }
  for (; i < argc; ++i) options.commandLine += (options.commandLine.empty() ? L"" : L" ") + Quote(argv[i]);
  return !options.commandLine.empty();
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options options;
  if (!argv || !ParseOptions(argc, argv, options)) {
    std::fputs("usage: box_driver [--timeout MS] [--hold MS] [--user U --password P | --cancel-auth] "
               "[--out FILE] -- program [args]\n", stderr);
    return 2;
  }
  if (!options.outPath.empty()) {
    g_out = _wfopen(options.outPath.c_str(), L"wb");
    if (!g_out) return 2;
  }
  QueryPerformanceFrequency(&g_frequency);
  QueryPerformanceCounter(&g_start);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = options.commandLine;
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    Emit("{\"event\":\"error\",\"what\":\"CreateProcess\",\"code\":" + std::to_string(GetLastError()) + "}");
    return 3;
  }
  g_childPid = process.dwProcessId;

  std::set<HWND> handled;
  bool waitSeen = false;
  int result = 0;
  for (;;) {
    Inspect(handled, options, waitSeen);
    DWORD wait = WaitForSingleObject(process.hProcess, 10);
    if (wait == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      char line[96];
      std::snprintf(line, sizeof line, "{\"event\":\"exit\",\"code\":%lu,\"ms\":%.1f}", static_cast<unsigned long>(code),
                    ElapsedMs());
      Emit(line);
      break;
    }
    if (ElapsedMs() > options.timeoutMs) {
      Emit("{\"event\":\"timeout\"}");
      TerminateProcess(process.hProcess, 99);
      result = 4;
      break;
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (g_out != stdout) std::fclose(g_out);
  LocalFree(argv);
  return result;
}
