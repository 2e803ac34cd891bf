// Test driver: starts a program under Wine, reports every message box it shows
// (caption, text, styles, icon, whether the wait window is visible), presses
// OK, and answers the internet authentication dialog (the server's or the
// proxy's, whose texts it reports). It also watches whether
// the wait window keeps answering, and whether the program ends once OK is
// pressed on a box. One JSON object per line, UTF-8. --quiet sends the program
// no window message at all until a box is up: no watcher, and the wait window
// is not read (reading another process's control's text sends it one).
//
//   box_driver.exe [--timeout MS] [--hold MS] [--exit-grace MS] [--no-watch | --quiet]
//                  [--user U --password P | --cancel-auth] [--out FILE] -- program.exe [args...]

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/resource.h"
#include "box_icon.h"
#include "driver_output.h"
#include "wait_watcher.h"

using namespace box_driver;

namespace {

constexpr int kBoxTextId = 0xFFFF;

struct Options {
  DWORD timeoutMs = 60000;
  DWORD holdMs = 0;
  // A program still running this long after OK on a box is reported as such.
  DWORD exitGraceMs = 2000;
  bool watchWait = true;  // off for timings, where the probes would compete with the program
  bool quiet = false;
  std::wstring user, password;
  bool answerAuth = false;
  bool cancelAuth = false;
  std::wstring outPath;
  std::wstring commandLine;
};

// When OK was last pressed on a message box, and whether the program was
// reported still running after it.
struct LastOk {
  double ms = -1;
  bool stillRunningReported = false;
};

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

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextLengthW(child) > 0)
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(WindowText(child));
  return TRUE;
}

// The dialog's texts as a JSON array: the proxy's dialog names the proxy and
// the server's names the server, so a test can tell which one was shown.
std::string StaticTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
  std::string json = "[";
  for (size_t i = 0; i < texts.size(); ++i) json += (i ? "," : "") + JsonString(texts[i]);
  return json + "]";
}

void Press(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Where the box's text begins on screen: its static's own alignment, read
// from the other edge when the box is laid out right to left.
const char* TextAlignment(HWND textControl) {
  const LONG style = GetWindowLongW(textControl, GWL_STYLE) & SS_TYPEMASK;
  const bool mirrored = (GetWindowLongW(textControl, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
  if (style == SS_CENTER) return "center";
  return (style == SS_RIGHT) != mirrored ? "right" : "left";
}

void ReportBox(HWND box, const std::vector<HWND>& windows, const Options& options, LastOk& lastOk) {
  const double seenMs = ElapsedMs();
  HWND textControl = GetDlgItem(box, kBoxTextId);
  char numbers[200];
  std::snprintf(numbers, sizeof numbers,
                ",\"wait_visible\":%s,\"exstyle\":%lu,\"text_style\":%lu,\"alignment\":\"%s\",\"ms\":%.1f}",
                VisibleWaitWindow(windows) ? "true" : "false",
                static_cast<unsigned long>(GetWindowLongW(box, GWL_EXSTYLE)),
                static_cast<unsigned long>(GetWindowLongW(textControl, GWL_STYLE)), TextAlignment(textControl), seenMs);
  const std::string icon = IdentifyBoxIcon(box);
  Emit("{\"event\":\"box\",\"title\":" + JsonString(WindowText(box)) + ",\"text\":" +
       JsonString(WindowText(textControl)) + ",\"icon\":\"" + icon + "\",\"rect\":" + JsonRect(box) + numbers);
  if (options.holdMs) Sleep(options.holdMs);
  Press(box, IDOK);
  lastOk = LastOk{ElapsedMs(), false};
}

void AnswerAuth(HWND dialog, const Options& options) {
  std::vector<HWND> edits = EditControls(dialog);
  Emit("{\"event\":\"auth\",\"title\":" + JsonString(WindowText(dialog)) +
       ",\"edits\":" + std::to_string(edits.size()) + ",\"texts\":" + StaticTexts(dialog) + "}");
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
void Inspect(std::set<HWND>& handled, const Options& options, bool& waitSeen, LastOk& lastOk) {
  std::vector<HWND> windows = ChildTopLevelWindows();
  // Reported once the run has placed it and set its text.
  HWND wait = VisibleWaitWindow(windows);
  if (!options.quiet && !waitSeen && wait && GetWindowTextLengthW(GetDlgItem(wait, IDC_WAIT_TEXT)) > 0) {
    waitSeen = true;
    char line[64];
    std::snprintf(line, sizeof line, ",\"ms\":%.1f}", ElapsedMs());
    Emit("{\"event\":\"wait\",\"title\":" + JsonString(WindowText(wait)) +
         ",\"text\":" + JsonString(WindowText(GetDlgItem(wait, IDC_WAIT_TEXT))) + ",\"rect\":" + JsonRect(wait) + line);
    if (options.holdMs) Sleep(options.holdMs);
  }
  for (HWND window : windows) {
    if (handled.count(window) || !IsDialog(window) || !IsWindowVisible(window)) continue;
    if (GetDlgItem(window, IDC_WAIT_TEXT)) continue;
    // The password dialog has a 0xFFFF static too; its edit fields tell it apart.
    if (!EditControls(window).empty()) {
      handled.insert(window);
      AnswerAuth(window, options);
    } else if (GetDlgItem(window, kBoxTextId)) {
      handled.insert(window);
      ReportBox(window, windows, options, lastOk);
    }
  }
}

// Once OK on a box has had its time to end the program, says that it has not.
void CheckEndAfterOk(const Options& options, LastOk& lastOk) {
  if (lastOk.ms < 0 || lastOk.stillRunningReported) return;
  const double since = ElapsedMs() - lastOk.ms;
  if (since < options.exitGraceMs) return;
  lastOk.stillRunningReported = true;
  char line[96];
  std::snprintf(line, sizeof line, "{\"event\":\"still-running\",\"after_ok_ms\":%.1f,\"ms\":%.1f}", since,
                ElapsedMs());
  Emit(line);
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
    } else if (arg == L"--exit-grace") {
      options.exitGraceMs = static_cast<DWORD>(_wtoi(next().c_str()));
    } else if (arg == L"--no-watch") {
      options.watchWait = false;
    } else if (arg == L"--quiet") {
      options.watchWait = false;
      options.quiet = true;
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

void ReportExit(HANDLE process, const LastOk& lastOk) {
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  char line[128];
  if (lastOk.ms >= 0)
    std::snprintf(line, sizeof line, "{\"event\":\"exit\",\"code\":%lu,\"after_ok_ms\":%.1f,\"ms\":%.1f}",
                  static_cast<unsigned long>(code), ElapsedMs() - lastOk.ms, ElapsedMs());
  else
    std::snprintf(line, sizeof line, "{\"event\":\"exit\",\"code\":%lu,\"ms\":%.1f}", static_cast<unsigned long>(code),
                  ElapsedMs());
  Emit(line);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options options;
  if (!argv || !ParseOptions(argc, argv, options)) {
    std::fputs(
        "usage: box_driver [--timeout MS] [--hold MS] [--exit-grace MS] [--no-watch | --quiet] "
        "[--user U --password P | --cancel-auth] [--out FILE] -- program [args]\n",
        stderr);
    return 2;
  }
  FILE* out = stdout;
  if (!options.outPath.empty()) {
    out = _wfopen(options.outPath.c_str(), L"wb");
    if (!out) return 2;
  }
  SetOutput(out);
  StartClock();

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = options.commandLine;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    Emit("{\"event\":\"error\",\"what\":\"CreateProcess\",\"code\":" + std::to_string(GetLastError()) + "}");
    return 3;
  }
  SetChildProcess(process.dwProcessId);

  std::set<HWND> handled;
  bool waitSeen = false;
  LastOk lastOk;
  int result = 0;
  {
    WaitWatcher watcher;
    if (options.watchWait) watcher.Start();
    for (;;) {
      Inspect(handled, options, waitSeen, lastOk);
      if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) {
        watcher.Stop();
        ReportExit(process.hProcess, lastOk);
        break;
      }
      CheckEndAfterOk(options, lastOk);
      if (ElapsedMs() > options.timeoutMs) {
        watcher.Stop();
        Emit("{\"event\":\"timeout\"}");
        TerminateProcess(process.hProcess, 99);
        result = 4;
        break;
      }
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (out != stdout) std::fclose(out);
  LocalFree(argv);
  return result;
}
