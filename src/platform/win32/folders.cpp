// Folders on Windows: a handle held for the run so that the folder stays
// where it is, and every name in it composed as a path.
#include "platform/win32/win32.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/common/path_text.h"
#include "platform/platform.h"

namespace platform {

using namespace win32;

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

}  // namespace platform
