// Where the program's own library loads come from. A bare name is searched
// for beside the exe and in the current folder first, so a copy planted in a
// downloads folder would run with the user's rights; full paths cannot be
// stood in for.
#pragma once

#include <string>

#include "common/win32_handles.h"

namespace stagewell::win32 {

// Takes the exe's and the current folder out of the default search for every
// later load, the system libraries' own dependencies included. First thing in
// the run, before anything loads a library.
void RestrictDllSearch();

// `name` in the system folder, or empty when the folder is unknown.
std::wstring SystemFolderPath(const wchar_t* name);
// `name` in the Windows folder shared by all users, or empty when unknown.
std::wstring WindowsFolderPath(const wchar_t* name);
// `name` beside the exe, or empty when the exe's path is unknown.
std::wstring ExeFolderPath(const wchar_t* name);
// `name` in `folder`, or empty when `folder` is.
std::wstring PathInFolder(std::wstring folder, const wchar_t* name);

// Loads the library at a full path; its dependencies are searched beside it
// first. Null for an empty or relative path.
UniqueModule LoadLibraryAt(const std::wstring& path);
// A system library by name, from the system folder only.
UniqueModule LoadSystemLibrary(const wchar_t* name);

}  // namespace stagewell::win32
