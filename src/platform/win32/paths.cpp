// Paths on Windows: the ANSI functions of the Win32 kernel, and the
// command line as Windows gives it.
#include "platform/win32/win32.h"
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/common/path_text.h"
#include "platform/platform.h"

namespace platform {

using namespace win32;

unsigned PathLimit() { return MAX_PATH; }
NamingRules Naming() { return NamingRules::Windows; }

std::string ArgumentToPathText(const char* argument) { return argument; }
ConventionalRequest ConventionalRequestOf(int, const char* const*) {
  return ConventionalRequest::None;
}

bool CurrentFolderIsPathText() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return true;
  std::wstring current(size, L'\0');
  if (GetCurrentDirectoryW(size, current.data()) == 0) return true;
  if (!AnsiHolds(current.c_str())) return false;
  // The arguments too: a folder or file name given with a character the
  // ANSI code page lacks reaches the program as another name.
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return true;
  bool holds = true;
  for (int i = 1; i < count && holds; ++i) holds = AnsiHolds(arguments[i]);
  LocalFree(arguments);
  return holds;
}

std::string DisplayPath(const char* path, Screen screen) {
  const bool console = screen == Screen::Keys || OutputIsConsole();
  return console ? Utf8Of(CP_ACP, path) : std::string(path);
}

std::string DisplayElement(const char* element, Screen screen) {
  return DisplayPath(element, screen);
}

// Windows keeps a current folder per drive and reads them itself.
CurrentFolderReading::CurrentFolderReading() = default;
CurrentFolderReading::~CurrentFolderReading() = default;

unsigned FullPathName(const char* path, char* out, unsigned outSize) {
  return GetFullPathNameA(path, outSize, out, nullptr);
}

namespace {

// A reparse point is listed as itself (a file link with size 0): it is
// reported as what it leads to, or as an empty file where that is missing.
void DescribeTarget(const char* path, DirEntry* entry) {
  BY_HANDLE_FILE_INFORMATION info;
  if (IdentityByPath(path, &info)) {
    entry->isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry->size = entry->isFolder
                      ? 0
                      : (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return;
  }
  const DWORD error = GetLastError();
  if (Missing(error) || error == ERROR_CANT_RESOLVE_FILENAME) {
    entry->isDangling = true;
    entry->isFolder = false;
    entry->size = 0;
  }
}

}  // namespace

bool LookupEntry(const char* path, DirEntry* entry, Failure*) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  entry->isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  // Wine lists a Unix link to a file as that file, and one that leads
  // nowhere not at all; only its links to folders come as reparse points.
  entry->isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  entry->isDangling = false;
  if (entry->isLink) DescribeTarget(path, entry);
  std::memcpy(entry->storedName, data.cFileName, sizeof data.cFileName);
  entry->storedName[MAX_PATH - 1] = '\0';
  return true;
}

namespace win32 {

// The volume and index that identify a file whatever name it is reached by.
bool IdentityByPath(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL known = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return known != 0;
}

}  // namespace win32

bool SameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION infoA;
  BY_HANDLE_FILE_INFORMATION infoB;
  return IdentityByPath(a, &infoA) && IdentityByPath(b, &infoB) &&
         infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
         infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool MakeFolder(const char* path, Failure*) { return CreateDirectoryA(path, nullptr) != 0; }

bool VolumeReady(const char* path, Failure*) {
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
  ULARGE_INTEGER freeToCaller;
  ULARGE_INTEGER total;
  BOOL ok = GetDiskFreeSpaceExA(path, &freeToCaller, &total, nullptr);
  SetErrorMode(previous);
  return ok != 0;
}

}  // namespace platform
