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
  if (IsOpen()) Close();
  sizeKnown_ = false;
  // A path that does not fit is never opened under a shortened name.
  if (std::strlen(path) >= platform::PathLimit()) {
    path_[0] = '\0';
    return platform::InvalidFile;
  }
  std::strcpy(path_, path);
  failure_ = {};
  handle_ = folder_ != nullptr
                ? platform::FileOpen(*folder_, path_, mode, files, &openedSize_, &failure_)
                : platform::FileOpen(path_, mode, files, &openedSize_, &failure_);
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
