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

unsigned FullPathName(const char* path, char* out, unsigned outSize) {
  return GetFullPathNameA(path, outSize, out, nullptr);
}

namespace {

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

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

// The folder is its path text, all but the last element, and a handle held
// for the run without FILE_SHARE_DELETE: while it is open the folder can be
// neither renamed nor removed, so every name composed in it stays there.
Folder::Folder(const char* filePath)
    : nativePrefix_(filePath, static_cast<std::size_t>(LastElement(filePath) - filePath)) {
  const std::string folder = nativePrefix_.empty() ? std::string(".") : nativePrefix_;
  HANDLE held = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (held != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(held);
}

Folder::~Folder() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool LookupEntry(const Folder& folder, const char* element, DirEntry* entry, Failure*) {
  return LookupEntry((folder.NativePrefix() + element).c_str(), entry);
}

bool IdentityOf(const Folder& folder, const char* element, FileIdentity* identity, bool* soleName) {
  // Unsure: a reparse point is told apart only by a second look.
  if (soleName != nullptr) *soleName = false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!IdentityByPath((folder.NativePrefix() + element).c_str(), &info)) return false;
  *identity = {info.dwVolumeSerialNumber,
               (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return true;
}

namespace {

// A name in the ANSI code page as UTF-16; false where it holds bytes that
// are not its text.
bool Wide(const std::string& name, std::wstring* wide) {
  if (name.empty()) return true;
  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(),
                                         static_cast<int>(name.size()), nullptr, 0);
  if (length <= 0) return false;
  wide->resize(static_cast<std::size_t>(length));
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(),
                             static_cast<int>(name.size()), wide->data(), length) == length;
}

}  // namespace

bool SameElement(const std::string& a, const std::string& b) {
  std::wstring wideA, wideB;
  if (!Wide(a, &wideA) || !Wide(b, &wideB)) return a == b;
  return CompareStringOrdinal(wideA.data(), static_cast<int>(wideA.size()), wideB.data(),
                              static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

bool RemoveFile(const Folder& folder, const char* element, Failure*) {
  // DeleteFileA refuses a folder; a reparse point goes, not its target.
  if (element[0] == '\0') return false;
  const std::string path = folder.NativePrefix() + element;
  if (DeleteFileA(path.c_str())) return true;
  // The run's own file, made read-only as the output it was to replace.
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) &&
         DeleteFileA(path.c_str());
}

namespace win32 {

bool MoveInFolder(const Folder& folder, const char* from, const char* to, DWORD flags,
                  Failure* failure) {
  if (from[0] == '\0' || to[0] == '\0') {
    if (failure != nullptr) failure->code = ERROR_INVALID_NAME;
    return false;
  }
  if (MoveFileExA((folder.NativePrefix() + from).c_str(), (folder.NativePrefix() + to).c_str(),
                  flags)) {
    return true;
  }
  NoteLastError(failure);
  return false;
}

}  // namespace win32

bool RenameFile(const Folder& folder, const char* from, const char* to, Failure* failure) {
  // MoveFileExA replaces a file, never a folder.
  return MoveInFolder(folder, from, to, MOVEFILE_REPLACE_EXISTING, failure);
}

bool NameTaken(const Failure& failure) {
  return failure.code == ERROR_FILE_EXISTS || failure.code == ERROR_ALREADY_EXISTS;
}

namespace {

Removal Deleted(const char* path, Failure* failure) {
  if (DeleteFileA(path)) return Removal::Removed;
  if (Missing(GetLastError())) return Removal::Gone;
  NoteLastError(failure);
  return Removal::Failed;
}

}  // namespace

Removal RemoveUnlessInUse(const Folder& folder, const char* element, Failure* failure) {
  if (element[0] == '\0') return Removal::Gone;
  const std::string path = folder.NativePrefix() + element;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (Missing(GetLastError())) return Removal::Gone;
    NoteLastError(failure);
    return Removal::Failed;
  }
  // No program holds a link itself open.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Deleted(path.c_str(), failure);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (failure != nullptr) failure->code = ERROR_ACCESS_DENIED;
    return Removal::Failed;
  }
  // Opened for delete with no sharing: any other open handle refuses it,
  // and none can come before the close removes the file.
  HANDLE file = CreateFileA(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return Removal::Removed;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION) return Removal::InUse;
  if (Missing(error)) return Removal::Gone;
  // No right to open it for delete (a read-only file, say): as RemoveFile.
  if (error == ERROR_ACCESS_DENIED) return Deleted(path.c_str(), failure);
  NoteLastError(failure);
  return Removal::Failed;
}

bool FreeSpace(const Folder& folder, std::uint64_t* bytes) {
  const std::string& prefix = folder.NativePrefix();
  ULARGE_INTEGER toCaller;
  if (!GetDiskFreeSpaceExA(prefix.empty() ? nullptr : prefix.c_str(), &toCaller, nullptr,
                           nullptr)) {
    return false;
  }
  *bytes = toCaller.QuadPart;
  return true;
}

bool ListFiles(const Folder& folder,
               const std::function<void(const char* name, bool plain)>& each) {
  WIN32_FIND_DATAA data;
  const std::string pattern = folder.NativePrefix() + "*";
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> owner(search, FindClose);
  constexpr DWORD notFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
  do {
    // A reparse point (a link) is for a lookup by name to judge.
    if ((data.dwFileAttributes & notFile) == 0) {
      each(data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0);
    }
  } while (FindNextFileA(search, &data));
  return GetLastError() == ERROR_NO_MORE_FILES;
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
