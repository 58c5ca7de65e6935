// File contents on Windows: CreateFileA with the share modes of each
// access, only disk files, and never a write through a link.
#include "platform/win32/win32.h"

#include "platform/platform.h"

namespace platform {

using namespace win32;

// A Windows file handle never takes a standard handle's place.
void OpenStandardStreams() {}

namespace {

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

FileId Refuse(HANDLE file) {
  CloseHandle(file);
  return InvalidFile;
}

// A disk file, not a pipe, a device or a folder.
bool IsPlainFile(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, info) &&
         (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HANDLE OpenForWriting(const char* path, DWORD disposition) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A link at the name (a reparse point) is deleted and a new file made in its
// place, unless it leads to a file `files` holds; a plain file is emptied
// (or, with `keptBytes`, its size told) only once it is open alone and
// known not to be one of them.
FileId OpenReplacing(const char* path, OpenedFiles* files, std::uint64_t* keptBytes) {
  DWORD attributes = GetFileAttributesA(path);
  BY_HANDLE_FILE_INFORMATION info;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (files != nullptr && IdentityByPath(path, &info) && files->Holds(IdentityOf(info))) {
      return InvalidFile;
    }
    if (!DeleteFileA(path)) return InvalidFile;
    HANDLE file = OpenForWriting(path, CREATE_NEW);
    return reinterpret_cast<FileId>(file);
  }
  // Never OPEN_ALWAYS: a link that Wine hides (one pointing nowhere) would
  // be followed and its target created.
  HANDLE file = OpenForWriting(path, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    return reinterpret_cast<FileId>(OpenForWriting(path, CREATE_NEW));
  }
  if (file == INVALID_HANDLE_VALUE) return InvalidFile;
  if (!IsPlainFile(file, &info)) return Refuse(file);
  if (files != nullptr && files->Holds(IdentityOf(info))) return Refuse(file);
  if (keptBytes != nullptr) {
    *keptBytes = SizeOf(info);
  } else if (!SetEndOfFile(file)) {  // the position is 0 after the open
    return Refuse(file);
  }
  if (files != nullptr) files->Add(IdentityOf(info));
  return reinterpret_cast<FileId>(file);
}

// Shared for delete alone: the interrupt handler can remove it while it is
// open, and no other program reads or writes it meanwhile.
FileId OpenTemporary(const char* path, Failure* failure) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) NoteLastError(failure);
  return reinterpret_cast<FileId>(file);
}

// Shared with no one, as a writer would take it; the reparse point itself,
// and a folder too (backup semantics), so that either is refused, not
// followed or failed.
FileId OpenHeld(const char* path, OpenedFiles* files, std::uint64_t* size, Failure* failure) {
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    NoteLastError(failure);
    return InvalidFile;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!IsPlainFile(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (failure != nullptr) failure->code = 0;
    return Refuse(file);
  }
  if (files != nullptr) files->Add(IdentityOf(info));
  if (size != nullptr) *size = SizeOf(info);
  return reinterpret_cast<FileId>(file);
}

}  // namespace

FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files, std::uint64_t* size,
                Failure* failure) {
  if (mode == OpenMode::CreateNew)
    return reinterpret_cast<FileId>(OpenForWriting(path, CREATE_NEW));
  if (mode == OpenMode::Temporary) return OpenTemporary(path, failure);
  if (mode == OpenMode::Hold) return OpenHeld(path, files, size, failure);
  if (mode == OpenMode::Replace) return OpenReplacing(path, files, nullptr);
  if (mode == OpenMode::Overwrite) {
    std::uint64_t kept = 0;
    const FileId file = OpenReplacing(path, files, &kept);
    if (size != nullptr) *size = kept;
    return file;
  }
  const bool read = mode == OpenMode::Read;
  HANDLE file = CreateFileA(path, read ? GENERIC_READ : 0,
                            read ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || !read) return reinterpret_cast<FileId>(file);
  BY_HANDLE_FILE_INFORMATION info;
  if (!IsPlainFile(file, &info)) return Refuse(file);
  if (files != nullptr) files->Add(IdentityOf(info));
  if (size != nullptr) *size = SizeOf(info);
  return reinterpret_cast<FileId>(file);
}

// Windows resolves a path from a folder handle only below its documented
// interface: the path is opened whole.
FileId FileOpen(const Folder& folder, const char* element, OpenMode mode, OpenedFiles* files,
                std::uint64_t* size, Failure* failure) {
  return FileOpen((folder.NativePrefix() + element).c_str(), mode, files, size, failure);
}

void FileClose(FileId file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count, Failure*) {
  DWORD done = 0;
  ::ReadFile(reinterpret_cast<HANDLE>(file), buffer, count, &done, nullptr);
  return done;
}

std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count, Failure*) {
  DWORD done = 0;
  ::WriteFile(reinterpret_cast<HANDLE>(file), buffer, count, &done, nullptr);
  return done;
}

std::uint32_t FileCopy(FileId, FileId, std::uint32_t) { return 0; }

bool FileSeekBack(FileId file, std::uint32_t count, Failure*) {
  LARGE_INTEGER move;
  move.QuadPart = -static_cast<LONGLONG>(count);
  return SetFilePointerEx(reinterpret_cast<HANDLE>(file), move, nullptr, FILE_CURRENT) != 0;
}

bool ReplaceableByNewFile(FileId file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(reinterpret_cast<HANDLE>(file), &info) &&
         info.nNumberOfLinks == 1;
}

// A new file's attributes are those any file gets; its access comes from
// the folder.
bool UsualAccess(FileId, Failure*) { return true; }

bool CopyAccess(FileId from, FileId to, Failure* failure) {
  // What a file carries of its own; the rest (folder, reparse point,
  // compression, sparseness) belongs to how it is stored. Archive stays
  // set: the contents are new, as a write in place would have marked them.
  constexpr DWORD carried = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(from), &info)) {
    NoteLastError(failure);
    return false;
  }
  FILE_BASIC_INFO basic = {};  // times at zero stay as they are
  basic.FileAttributes = (info.dwFileAttributes & carried) | FILE_ATTRIBUTE_ARCHIVE;
  if (!SetFileInformationByHandle(reinterpret_cast<HANDLE>(to), FileBasicInfo, &basic,
                                  sizeof basic)) {
    NoteLastError(failure);
    return false;
  }
  return true;
}

bool FileTruncate(FileId file, std::uint64_t size, Failure*) {
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  const HANDLE handle = reinterpret_cast<HANDLE>(file);
  return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace platform
