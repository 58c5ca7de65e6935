// What the Windows implementation's files share.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform::win32 {

// Wide text in the ANSI code page, false when a character has no exact
// counterpart there (Windows would put a best-fit namesake in its place).
bool AnsiHolds(const wchar_t* wide);

// Text of a code page as UTF-8, which the console is written in.
std::string Utf8Of(UINT codePage, const char* text);

// A console shows wide characters in any code page; text bound for one is
// kept as UTF-8 until it is written. Files and pipes get the bytes as they are.
bool OutputIsConsole();

// UTF-8 text onto a console, as wide characters.
void WriteToConsole(HANDLE console, const std::string& utf8);

// The volume and index that identify a file whatever name it is reached by.
bool IdentityByPath(const char* path, BY_HANDLE_FILE_INFORMATION* info);

// The calling thread's last error as the failure's code.
// An error that says nothing is at the name.
inline bool Missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

inline void NoteLastError(Failure* failure) {
  if (failure != nullptr) failure->code = static_cast<int>(GetLastError());
}

// MoveFileExA of `from` to `to` in the folder with `flags`: within one
// folder a rename, never a copy.
bool MoveInFolder(const Folder& folder, const char* from, const char* to, DWORD flags,
                  Failure* failure);

}  // namespace platform::win32
