// File contents on POSIX, opened as a Windows handle would be: only regular
// files, never blocking, shared as its share modes say (flock locks), and
// never written through a link; and what a new file takes over from the one
// it replaces.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__) || defined(__APPLE__)
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace platform {

namespace posix {

int OpenRetrying(const std::string& native, int flags) {
  return RetryOnInterrupt([&] { return open(native.c_str(), flags, 0666); });
}

}  // namespace posix

using namespace posix;

namespace {

FileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// The share modes of a Windows handle, as locks on the open file: a writer
// holds its file alone, readers share theirs. Between two descriptors of
// this process too, so a run never empties what it is reading.
bool Lock(int fd, bool exclusive) {
  return RetryOnInterrupt([&] { return flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB); }) ==
         0;
}

// Closes a descriptor the open refuses. `error`: the failed call's errno,
// or 0 where the program refuses on its own (a FIFO, a file of the run).
FileId Refuse(int fd, int* error, int code) {
  *error = code;
  close(fd);
  return InvalidFile;
}

FileId Failed(int* error) {
  *error = errno;
  return InvalidFile;
}

// Non-blocking, so that a FIFO is seen and refused rather than waited on.
constexpr int CommonFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// A native path and what to resolve it from: the whole path from the
// current folder, or its last element from a folder resolved once.
struct NativeName {
  std::string path;  // the whole path, which messages name
  int from = AT_FDCWD;
  std::size_t relative = 0;  // where the part `from` resolves begins
  const char* Relative() const { return path.c_str() + relative; }
};

NativeName InFolder(const Folder& folder, const char* element) {
  NativeName name{folder.NativePrefix() + element};
  if (folder.Handle() != -1) {
    name.from = static_cast<int>(folder.Handle());
    name.relative = folder.NativePrefix().size();
  }
  return name;
}

int OpenAt(const NativeName& name, int flags, mode_t permissions = 0666) {
  return RetryOnInterrupt([&] { return openat(name.from, name.Relative(), flags, permissions); });
}

FileId OpenNew(const NativeName& name, int* error, mode_t permissions = 0666) {
  int fd = OpenAt(name, CommonFlags | O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, permissions);
  if (fd < 0) return Failed(error);
  return Lock(fd, true) ? fd : Refuse(fd, error, errno);
}

bool IsLink(const NativeName& name) {
  struct stat info;
  return fstatat(name.from, name.Relative(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(info.st_mode);
}

// A link at the name is replaced by a new file, unless it leads to a file
// that `files` holds; an existing regular file is emptied (or, with
// `keptBytes`, its size told) once it is locked and known not to be one of
// them. Anything else is refused.
FileId OpenReplacing(const NativeName& name, OpenedFiles* files, std::uint64_t* keptBytes,
                     int* error) {
  int fd = OpenAt(name, CommonFlags | O_WRONLY | O_CREAT | O_NOFOLLOW);
  if (fd < 0) {
    const int openError = errno;
    if (!IsLink(name)) {
      *error = openError;
      return InvalidFile;
    }
    struct stat target;
    if (files != nullptr && fstatat(name.from, name.Relative(), &target, 0) == 0 &&
        files->Holds(IdentityOf(target))) {
      *error = 0;
      return InvalidFile;
    }
    if (unlinkat(name.from, name.Relative(), 0) != 0) return Failed(error);
    return OpenNew(name, error);
  }
  struct stat info;
  if (fstat(fd, &info) != 0) return Refuse(fd, error, errno);
  if (!S_ISREG(info.st_mode)) return Refuse(fd, error, 0);
  if (files != nullptr && files->Holds(IdentityOf(info))) return Refuse(fd, error, 0);
  if (!Lock(fd, true)) return Refuse(fd, error, errno);
  if (keptBytes != nullptr) {
    *keptBytes = static_cast<std::uint64_t>(info.st_size);
  } else if (info.st_size != 0) {
    if (RetryOnInterrupt([&] { return ftruncate(fd, 0); }) != 0) return Refuse(fd, error, errno);
  }
  if (files != nullptr) files->Add(IdentityOf(info));
  return fd;
}

// Read, Probe, or Hold: a file to be replaced, held as a writer would hold
// it, never through a link.
FileId OpenExisting(const NativeName& name, OpenMode mode, OpenedFiles* files, std::uint64_t* size,
                    int* error) {
  const bool hold = mode == OpenMode::Hold;
  int flags = CommonFlags | O_RDONLY | (hold ? O_NOFOLLOW : 0);
#ifdef O_PATH
  if (mode == OpenMode::Probe) flags = O_CLOEXEC | O_PATH;
#endif
  int fd = OpenAt(name, flags);
  if (fd < 0 && hold && errno == ELOOP) {
    *error = 0;
    return InvalidFile;
  }
  if (fd < 0) return Failed(error);
  struct stat info;
  if (fstat(fd, &info) != 0) return Refuse(fd, error, errno);
  if (mode == OpenMode::Probe) return S_ISDIR(info.st_mode) ? Refuse(fd, error, 0) : fd;
  if (!S_ISREG(info.st_mode)) return Refuse(fd, error, S_ISDIR(info.st_mode) ? EISDIR : 0);
  if (!Lock(fd, hold)) {
    // NFS takes an exclusive lock only on a file open to write: the same
    // file, opened so, is held instead.
    if (!hold || errno != EBADF) return Refuse(fd, error, errno);
    close(fd);
    fd = OpenAt(name, CommonFlags | O_WRONLY | O_NOFOLLOW);
    if (fd < 0) return Failed(error);
    struct stat again;
    if (fstat(fd, &again) != 0 || !(IdentityOf(again) == IdentityOf(info))) {
      return Refuse(fd, error, 0);
    }
    if (!Lock(fd, true)) return Refuse(fd, error, errno);
  }
  if (files != nullptr) files->Add(IdentityOf(info));
  if (size != nullptr) *size = static_cast<std::uint64_t>(info.st_size);
  return fd;
}

FileId Open(const NativeName& name, OpenMode mode, OpenedFiles* files, std::uint64_t* size,
            Failure* failure) {
  int error = 0;
  std::uint64_t kept = 0;
  const bool creating = mode == OpenMode::CreateNew || mode == OpenMode::Temporary;
  FileId file = mode == OpenMode::CreateNew   ? OpenNew(name, &error)
                : mode == OpenMode::Temporary ? OpenNew(name, &error, 0600)
                : mode == OpenMode::Replace   ? OpenReplacing(name, files, nullptr, &error)
                : mode == OpenMode::Overwrite ? OpenReplacing(name, files, &kept, &error)
                                              : OpenExisting(name, mode, files, size, &error);
  if ((mode == OpenMode::Overwrite || creating) && size != nullptr) *size = kept;
  if (file == InvalidFile) NoteFailure(failure, name.path, error);
  return file;
}

}  // namespace

void OpenStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one; the program ends if not.
    int standIn = OpenRetrying("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (standIn != fd) std::_Exit(-1);
  }
}

FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files, std::uint64_t* size,
                Failure* failure) {
  std::string native;
  if (!NativePath(path, &native)) return InvalidFile;
  return Open(NativeName{std::move(native)}, mode, files, size, failure);
}

FileId FileOpen(const Folder& folder, const char* element, OpenMode mode, OpenedFiles* files,
                std::uint64_t* size, Failure* failure) {
  // A folder whose path had no native form has neither handle nor prefix:
  // nothing is opened from the current folder in its place.
  const bool unresolved = folder.Handle() == -1 && folder.NativePrefix().empty();
  // An element holds no separator: a name that does is no entry here.
  if (unresolved || element[0] == '\0' || std::strpbrk(element, "/\\") != nullptr) {
    if (failure != nullptr) *failure = {ENOENT, folder.NativePrefix() + element, {}};
    return InvalidFile;
  }
  return Open(InFolder(folder, element), mode, files, size, failure);
}

void FileClose(FileId file) { close(static_cast<int>(file)); }

namespace {

// Whether the file has no extended attributes (on Linux its ACL is one),
// or lies where there are none. False where that cannot be told. The
// security label is none of them: a new file gets its own by policy.
bool WithoutExtendedAttributes(int fd) {
#if defined(__APPLE__) || defined(__linux__)
  char names[1024];
#ifdef __APPLE__
  const ssize_t size = flistxattr(fd, names, sizeof names, 0);
#else
  const ssize_t size = flistxattr(fd, names, sizeof names);
#endif
  if (size < 0) return errno == ENOTSUP || errno == ENOSYS;
  static constexpr char Label[] = "security.selinux";
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    if (std::strcmp(names + at, Label) != 0) return false;
  }
  return true;
#else
  (void)fd;
  return false;
#endif
}

}  // namespace

bool ReplaceableByNewFile(FileId file) {
  const int fd = static_cast<int>(file);
  struct stat info;
  return fstat(fd, &info) == 0 && info.st_nlink == 1 && WithoutExtendedAttributes(fd);
}

bool UsualAccess(FileId file, Failure* failure) {
  // The umask is read by setting it: the same value goes straight back.
  const mode_t mask = umask(022);
  umask(mask);
  if (fchmod(static_cast<int>(file), 0666 & ~mask) == 0) return true;
  NoteFailure(failure, std::string());
  return false;
}

bool CopyAccess(FileId from, FileId to, Failure* failure) {
  struct stat info;
  if (fstat(static_cast<int>(from), &info) != 0) {
    NoteFailure(failure, std::string());
    return false;
  }
  // The owner first: a change of owner clears the set-user-ID bits that the
  // mode then sets. Only a privileged process may give a file away; the
  // group may still be one of ours.
  const int target = static_cast<int>(to);
  if (fchown(target, info.st_uid, info.st_gid) != 0 &&
      fchown(target, static_cast<uid_t>(-1), info.st_gid) != 0) {
    // Neither: the new file stays ours, as any file we create is.
  }
  if (fchmod(target, info.st_mode & 07777) == 0) return true;
  NoteFailure(failure, std::string());
  return false;
}

std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count, Failure* failure) {
  ssize_t n = RetryOnInterrupt([&] { return read(static_cast<int>(file), buffer, count); });
  // The caller's message names the file.
  if (n < 0) NoteFailure(failure, std::string());
  return n < 0 ? 0 : static_cast<std::uint32_t>(n);
}

bool FileTruncate(FileId file, std::uint64_t size, Failure* failure) {
  if (RetryOnInterrupt(
          [&] { return ftruncate(static_cast<int>(file), static_cast<off_t>(size)); }) == 0) {
    return true;
  }
  NoteFailure(failure, std::string());
  return false;
}

bool FileSeekBack(FileId file, std::uint32_t count, Failure* failure) {
  if (lseek(static_cast<int>(file), -static_cast<off_t>(count), SEEK_CUR) != -1) return true;
  NoteFailure(failure, std::string());
  return false;
}

std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count, Failure* failure) {
  // A short write is retried: the call that fails tells why (a full disk).
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t n = RetryOnInterrupt([&] {
      return write(static_cast<int>(file), static_cast<const char*>(buffer) + done, count - done);
    });
    if (n <= 0) {
      if (n < 0) NoteFailure(failure, std::string());
      break;
    }
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

std::uint32_t FileCopy(FileId from, FileId to, std::uint32_t count) {
#if defined(__linux__) && !defined(DIVRO_NO_KERNEL_COPY)
  // Below this a read and a write cost less than the kernel's copy.
  constexpr std::uint32_t SmallestKernelCopy = 64 * 1024;
  if (count < SmallestKernelCopy) return 0;
  std::uint32_t moved = 0;
  while (moved < count) {
    ssize_t n = RetryOnInterrupt([&] {
      return copy_file_range(static_cast<int>(from), nullptr, static_cast<int>(to), nullptr,
                             count - moved, 0);
    });
    if (n <= 0) break;
    moved += static_cast<std::uint32_t>(n);
  }
  return moved;
#else
  (void)from;
  (void)to;
  (void)count;
  return 0;
#endif
}

}  // namespace platform
