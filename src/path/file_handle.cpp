#include "path/file_handle.h"

#include <cstring>

namespace path {

FileHandle::~FileHandle() {
  Close();
  path_[0] = '\0';
}

platform::FileId FileHandle::Open(const char* path, const char* mode) {
  const char first = mode != nullptr ? mode[0] : '\0';
  (void)Open(path, first == 'w'   ? platform::OpenMode::Replace
                   : first == 'r' ? platform::OpenMode::Read
                                  : platform::OpenMode::Probe);
  return handle_;
}

Done FileHandle::Open(const char* path, platform::OpenMode mode, platform::OpenedFiles* files) {
  return OpenWith(path, mode, [&](platform::Failure* failure) {
    return platform::FileOpen(path_, mode, files, &openedSize_, failure);
  });
}

Done FileHandle::Open(const platform::Folder& folder, const std::string& element,
                      const std::string& path, platform::OpenMode mode,
                      platform::OpenedFiles* files) {
  return OpenWith(path.c_str(), mode, [&](platform::Failure* failure) {
    return platform::FileOpen(folder, element.c_str(), mode, files, &openedSize_, failure);
  });
}

Done FileHandle::OpenWith(const char* path, platform::OpenMode mode,
                          const std::function<platform::FileId(platform::Failure*)>& open) {
  if (IsOpen()) Close();
  sizeKnown_ = false;
  Done done;
  // A path that does not fit is never opened under a shortened name.
  if (path[0] == '\0' || std::strlen(path) >= platform::PathLimit()) {
    path_[0] = '\0';
    return done;
  }
  std::strcpy(path_, path);
  handle_ = open(&done.failure);
  done.ok = handle_ != platform::InvalidFile;
  sizeKnown_ = mode == platform::OpenMode::Read && done.ok;
  cutPending_ = mode == platform::OpenMode::Overwrite && done.ok && openedSize_ != 0;
  written_ = 0;
  return done;
}

void FileHandle::Close() {
  if (!IsOpen()) return;
  // A cut that fails here is the caller's to have asked for with EndHere.
  (void)EndHere();
  platform::FileClose(handle_);
  handle_ = platform::InvalidFile;
}

Moved FileHandle::Read(void* buffer, std::uint32_t count) {
  Moved moved;
  if (IsOpen()) moved.count = platform::FileRead(handle_, buffer, count, &moved.failure);
  return moved;
}

Moved FileHandle::Write(const void* buffer, std::uint32_t count) {
  Moved moved;
  if (IsOpen()) moved.count = platform::FileWrite(handle_, buffer, count, &moved.failure);
  written_ += moved.count;
  return moved;
}

Done FileHandle::SeekBack(std::uint32_t count) {
  Done done;
  done.ok = IsOpen() && platform::FileSeekBack(handle_, count, &done.failure);
  return done;
}

Done FileHandle::EndHere() {
  Done done;
  if (cutPending_ && written_ < openedSize_ &&
      !platform::FileTruncate(handle_, written_, &done.failure)) {
    return done;
  }
  cutPending_ = false;
  done.ok = true;
  return done;
}

FileHandle::Copied FileHandle::CopyTo(FileHandle& to, char* buffer, std::uint32_t count,
                                      const std::function<void()>& afterRead) {
  std::uint32_t moved = 0;
  if (IsOpen() && to.IsOpen()) moved = platform::FileCopy(handle_, to.handle_, count);
  to.written_ += moved;
  std::uint32_t rest = count - moved;
  if (rest != 0) {
    const Moved read = Read(buffer, rest);
    if (read != rest) return {CopyOutcome::ReadShort, read.failure};
  }
  afterRead();
  if (rest != 0) {
    const Moved written = to.Write(buffer, rest);
    if (written != rest) return {CopyOutcome::WriteShort, written.failure};
  }
  return {};
}

bool FileHandle::ReplaceableByNewFile() const {
  return IsOpen() && platform::ReplaceableByNewFile(handle_);
}

Done FileHandle::CopyAccessFrom(const FileHandle& from) {
  Done done;
  done.ok = IsOpen() && from.IsOpen() && platform::CopyAccess(from.handle_, handle_, &done.failure);
  return done;
}

Done FileHandle::GiveUsualAccess() {
  Done done;
  done.ok = IsOpen() && platform::UsualAccess(handle_, &done.failure);
  return done;
}

bool FileHandle::QuerySize(std::uint32_t* low, std::uint32_t* high) const {
  return QueryFileSize(path_, low, high);
}

std::optional<std::uint64_t> FileHandle::OpenedSize() const {
  if (!sizeKnown_) return std::nullopt;
  return openedSize_;
}

bool QueryFileSize(const char* path, std::uint32_t* low, std::uint32_t* high) {
  platform::DirEntry entry;
  if (path[0] == '\0' || !platform::LookupEntry(path, &entry) || entry.isFolder) return false;
  if (low != nullptr) *low = static_cast<std::uint32_t>(entry.size);
  if (high != nullptr) *high = static_cast<std::uint32_t>(entry.size >> 32);
  return true;
}

}  // namespace path
