// Folders on POSIX: resolved once (an O_PATH descriptor), and every
// lookup, listing, removal and rename made from that descriptor by name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/common/path_text.h"
#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace platform {

using namespace posix;

namespace {

// What lstat (and stat through a link) found, as a directory entry. A link
// that points nowhere is still a name taken: an empty file.
void FillEntry(struct stat info, bool linkTargetFound, const struct stat& target,
               const std::string& name, DirEntry* entry) {
  entry->isLink = S_ISLNK(info.st_mode);
  entry->isDangling = entry->isLink && !linkTargetFound;
  if (entry->isLink) {
    if (linkTargetFound) {
      info = target;
    } else {
      info.st_mode = S_IFREG;
      info.st_size = 0;
    }
  }
  entry->isFolder = S_ISDIR(info.st_mode);
  entry->isSpecial = !entry->isFolder && !S_ISREG(info.st_mode);
  entry->size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  std::memcpy(entry->storedName, name.c_str(), name.size() + 1);
}

// Looks `relative` up from `from` without following a final link, then
// through it.
bool LookupAt(int from, const char* relative, const std::string& native, const std::string& name,
              DirEntry* entry, Failure* failure) {
  if (name.empty() || name.size() >= platform::PathLimit()) return false;
  struct stat info;
  if (fstatat(from, relative, &info, AT_SYMLINK_NOFOLLOW) != 0) {
    // Not there is an answer, not a failure; anything else is.
    if (errno != ENOENT && errno != ENOTDIR) NoteFailure(failure, native);
    return false;
  }
  struct stat target {};
  const bool found = S_ISLNK(info.st_mode) && fstatat(from, relative, &target, 0) == 0;
  FillEntry(info, found, target, name, entry);
  return true;
}

}  // namespace

bool LookupEntry(const char* path, DirEntry* entry, Failure* failure) {
  std::string native;
  if (EndsWithSeparator(path) || !NativePath(path, &native)) return false;
  return LookupAt(AT_FDCWD, native.c_str(), native, LastElement(path), entry, failure);
}

bool LookupEntry(const Folder& folder, const char* element, DirEntry* entry, Failure* failure) {
  if (std::strchr(element, '/') != nullptr) return false;
  const std::string native = folder.NativePrefix() + element;
  if (folder.Handle() == -1) {
    return LookupAt(AT_FDCWD, native.c_str(), native, element, entry, failure);
  }
  return LookupAt(static_cast<int>(folder.Handle()), element, native, element, entry, failure);
}

bool IdentityOf(const Folder& folder, const char* element, FileIdentity* identity, bool* soleName) {
  if (std::strchr(element, '/') != nullptr) return false;
  const std::string native = folder.NativePrefix() + element;
  const auto look = [&](struct stat* info, bool follow) {
    return folder.Handle() == -1
               ? (follow ? stat(native.c_str(), info) : lstat(native.c_str(), info)) == 0
               : fstatat(static_cast<int>(folder.Handle()), element, info,
                         follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
  };
  // The name itself first: one look, unless it is a link to follow.
  struct stat info;
  bool found = look(&info, false);
  const bool link = found && S_ISLNK(info.st_mode);
  if (link) found = look(&info, true);
  if (soleName != nullptr)
    *soleName = found && !link && S_ISREG(info.st_mode) && info.st_nlink == 1;
  if (found) {
    *identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  }
  return found;
}

bool SameElement(const std::string& a, const std::string& b) { return a == b; }

bool RemoveFile(const Folder& folder, const char* element, Failure* failure) {
  const ElementAt name(folder, element);
  if (!name.Named()) return false;
  struct stat info;
  if (fstatat(name.at, name.Relative(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    NoteFailure(failure, name.native);
    return false;
  }
  // Without AT_REMOVEDIR a folder is refused by the call itself too.
  if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    NoteFailure(failure, name.native, EISDIR);
    return false;
  }
  if (unlinkat(name.at, name.Relative(), 0) == 0) return true;
  NoteFailure(failure, name.native);
  return false;
}

namespace {

Removal Unlink(const ElementAt& name, Failure* failure) {
  if (unlinkat(name.at, name.Relative(), 0) == 0) return Removal::Removed;
  if (errno == ENOENT) return Removal::Gone;
  NoteFailure(failure, name.native);
  return Removal::Failed;
}

}  // namespace

Removal RemoveUnlessInUse(const Folder& folder, const char* element, Failure* failure) {
  const ElementAt name(folder, element);
  if (element[0] == '\0') return Removal::Gone;
  if (!name.Named()) {
    NoteFailure(failure, name.native, EINVAL);
    return Removal::Failed;
  }
  struct stat info;
  if (fstatat(name.at, name.Relative(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return Removal::Gone;
    NoteFailure(failure, name.native);
    return Removal::Failed;
  }
  if (S_ISLNK(info.st_mode)) return Unlink(name, failure);
  if (!S_ISREG(info.st_mode)) {
    // A FIFO or a device: the program's own refusal.
    NoteFailure(failure, name.native, S_ISDIR(info.st_mode) ? EISDIR : 0);
    return Removal::Failed;
  }
  const int fd = RetryOnInterrupt([&] {
    return openat(name.at, name.Relative(),
                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  });
  // One we may not open (mode 000) cannot be locked: removed as
  // RemoveFile would.
  if (fd < 0) return Unlink(name, failure);
  // A lock refused for other reasons (a file system without them) is no
  // holder.
  if (RetryOnInterrupt([&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0 && errno == EWOULDBLOCK) {
    close(fd);
    return Removal::InUse;
  }
  const Removal removal = Unlink(name, failure);
  close(fd);
  return removal;
}

bool FreeSpace(const Folder& folder, std::uint64_t* bytes) {
  struct statvfs info;
  const std::string& prefix = folder.NativePrefix();
  const int result = folder.Handle() != -1 ? fstatvfs(static_cast<int>(folder.Handle()), &info)
                                           : statvfs(prefix.empty() ? "." : prefix.c_str(), &info);
  if (result != 0) return false;
  *bytes = static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
  return true;
}

namespace posix {

bool RenameInFolder(const Folder& folder, const char* from, const char* to, bool replace,
                    Failure* failure) {
  const ElementAt source(folder, from);
  const ElementAt target(folder, to);
  if (!source.Named() || !target.Named()) return false;
  const int at = source.at;
  if (replace) {
    if (renameat(at, source.Relative(), at, target.Relative()) == 0) return true;
    NoteFailure(failure, target.native);
    return false;
  }
#ifdef RENAME_NOREPLACE
  if (renameat2(at, source.Relative(), at, target.Relative(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) {
    NoteFailure(failure, target.native);
    return false;
  }
#endif
  // A second name cannot take a taken one; the first then goes.
  if (linkat(at, source.Relative(), at, target.Relative(), 0) == 0) {
    unlinkat(at, source.Relative(), 0);
    return true;
  }
  NoteFailure(failure, target.native);
  return false;
}

}  // namespace posix

bool RenameFile(const Folder& folder, const char* from, const char* to, Failure* failure) {
  return RenameInFolder(folder, from, to, true, failure);
}

bool NameTaken(const Failure& failure) { return failure.code == EEXIST; }

Folder::Folder(const char* filePath) {
  std::string native;
  if (!NativePath(filePath, &native)) return;
  const std::size_t slash = native.rfind('/');
  nativePrefix_ = slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
  const char* folder = nativePrefix_.empty() ? "." : nativePrefix_.c_str();
#ifdef O_PATH
  constexpr int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
  constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
#endif
  // Unresolved, the paths are resolved whole: only slower.
  handle_ = RetryOnInterrupt([&] { return open(folder, flags); });
}

Folder::~Folder() {
  if (handle_ != -1) close(static_cast<int>(handle_));
}

bool ListFiles(const Folder& folder,
               const std::function<void(const char* name, bool plain)>& each) {
  if (folder.Handle() == -1) return false;
  const int fd = RetryOnInterrupt([&] {
    return openat(static_cast<int>(folder.Handle()), ".",
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  });
  if (fd < 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(fdopendir(fd), closedir);
  if (listing == nullptr) {
    close(fd);
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(listing.get());
    if (entry == nullptr) return errno == 0;
    // A file system that does not say (DT_UNKNOWN) leaves the name to its
    // lookup, as a link does.
    if (entry->d_type == DT_REG) each(entry->d_name, true);
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) each(entry->d_name, false);
  }
}

}  // namespace platform
