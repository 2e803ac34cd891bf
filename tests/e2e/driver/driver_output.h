// What the box driver shares between its threads: the clock, the JSON line
// writer and the windows of the program under test.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace box_driver {

void StartClock();
double ElapsedMs();

// One JSON object per line; lines from different threads never interleave.
// SetOutput comes first, before any thread emits.
void SetOutput(FILE* out);
void Emit(const std::string& line);

std::string JsonString(const std::wstring& text);
std::string JsonRect(HWND window);
std::wstring WindowText(HWND window);

bool IsDialog(HWND window);
void SetChildProcess(DWORD pid);
std::vector<HWND> ChildTopLevelWindows();

// The wait window is the program's dialog holding the wait text control.
HWND WaitWindow(const std::vector<HWND>& windows);
HWND VisibleWaitWindow(const std::vector<HWND>& windows);

}  // namespace box_driver
