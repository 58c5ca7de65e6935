#include "path/file_handle.h"

#include <cstring>

namespace path {

FileHandle::~FileHandle() {
  Close();
  path_[0] = '\0';
}

platform::FileId FileHandle::Open(const char* path, const char* mode) {
  const char first = mode != nullptr ? mode[0] : '\0';
  return Open(path, first == 'w'   ? platform::OpenMode::Replace
                    : first == 'r' ? platform::OpenMode::Read
                                   : platform::OpenMode::Probe);
}

platform::FileId FileHandle::Open(const char* path, platform::OpenMode mode,
                                  platform::OpenedFiles* files) {
  return OpenWith(path, mode,
                  [&] { return platform::FileOpen(path_, mode, files, &openedSize_, &failure_); });
}

platform::FileId FileHandle::Open(const platform::Folder& folder, const std::string& element,
                                  const std::string& path, platform::OpenMode mode,
                                  platform::OpenedFiles* files) {
  return OpenWith(path.c_str(), mode, [&] {
    return platform::FileOpen(folder, element.c_str(), mode, files, &openedSize_, &failure_);
  });
}

platform::FileId FileHandle::OpenWith(const char* path, platform::OpenMode mode,
                                      const std::function<platform::FileId()>& open) {
  if (IsOpen()) Close();
  sizeKnown_ = false;
  failure_ = {};
  // A path that does not fit is never opened under a shortened name.
  if (path[0] == '\0' || std::strlen(path) >= platform::PathLimit()) {
    path_[0] = '\0';
    return platform::InvalidFile;
  }
  std::strcpy(path_, path);
  handle_ = open();
  sizeKnown_ = mode == platform::OpenMode::Read && handle_ != platform::InvalidFile;
  cutPending_ =
      mode == platform::OpenMode::Overwrite && handle_ != platform::InvalidFile && openedSize_ != 0;
  written_ = 0;
  return handle_;
}

void FileHandle::Close() {
  if (!IsOpen()) return;
  EndHere();
  platform::FileClose(handle_);
  handle_ = platform::InvalidFile;
}

std::uint32_t FileHandle::Read(void* buffer, std::uint32_t count) {
  return IsOpen() ? platform::FileRead(handle_, buffer, count, &failure_) : 0;
}

std::uint32_t FileHandle::Write(const void* buffer, std::uint32_t count) {
  const std::uint32_t done = IsOpen() ? platform::FileWrite(handle_, buffer, count, &failure_) : 0;
  written_ += done;
  return done;
}

bool FileHandle::SeekBack(std::uint32_t count) {
  return IsOpen() && platform::FileSeekBack(handle_, count, &failure_);
}

bool FileHandle::EndHere() {
  if (cutPending_ && written_ < openedSize_ &&
      !platform::FileTruncate(handle_, written_, &failure_)) {
    return false;
  }
  cutPending_ = false;
  return true;
}

FileHandle::CopyOutcome FileHandle::CopyTo(FileHandle& to, char* buffer, std::uint32_t count,
                                           const std::function<void()>& afterRead) {
  std::uint32_t moved = 0;
  if (IsOpen() && to.IsOpen()) moved = platform::FileCopy(handle_, to.handle_, count);
  to.written_ += moved;
  std::uint32_t rest = count - moved;
  if (rest != 0 && Read(buffer, rest) != rest) return CopyOutcome::ReadShort;
  afterRead();
  if (rest != 0 && to.Write(buffer, rest) != rest) return CopyOutcome::WriteShort;
  return CopyOutcome::Copied;
}

bool FileHandle::ReplaceableByNewFile() const {
  return IsOpen() && platform::ReplaceableByNewFile(handle_);
}

bool FileHandle::CopyAccessFrom(const FileHandle& from) {
  return IsOpen() && from.IsOpen() && platform::CopyAccess(from.handle_, handle_, &failure_);
}

bool FileHandle::GiveUsualAccess() { return IsOpen() && platform::UsualAccess(handle_, &failure_); }

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
