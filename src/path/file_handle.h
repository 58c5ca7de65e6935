// The one object through which file contents are read and written. It owns
// one OS file and remembers the path it was last opened with.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace path {

// What one call did and, where it failed, why: the failure travels with
// the result, so none is ever read from an earlier call.
struct [[nodiscard]] Done {
  bool ok = false;
  platform::Failure failure;
  explicit operator bool() const { return ok; }
};

// A transfer: the bytes moved, which is the call's result, and why fewer
// than asked for moved.
struct [[nodiscard]] Moved {
  std::uint32_t count = 0;
  platform::Failure failure;
  operator std::uint32_t() const { return count; }  // NOLINT: the count is the result
};

class FileHandle {
 public:
  FileHandle() = default;
  virtual ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Only the first character of `mode` counts: 'w' creates or empties,
  // 'r' reads an existing file, anything else opens one without transfer.
  platform::FileId Open(const char* path, const char* mode);
  // The same with the platform's own modes; see platform::FileOpen.
  Done Open(const char* path, platform::OpenMode mode, platform::OpenedFiles* files = nullptr);
  // Opens `element` from the folder resolved once (see Place::Open);
  // `path` is its full form, which the handle remembers.
  Done Open(const platform::Folder& folder, const std::string& element, const std::string& path,
            platform::OpenMode mode, platform::OpenedFiles* files);
  void Close();
  bool IsOpen() const { return handle_ != platform::InvalidFile; }
  platform::FileId Id() const { return handle_; }

  // One platform call each; a short count means failure.
  Moved Read(void* buffer, std::uint32_t count);
  Moved Write(const void* buffer, std::uint32_t count);
  // After an Overwrite open: cuts off what the file held beyond the bytes
  // written since, which is a write's failure when it cannot. Close does
  // it too, unasked, so that a write that stopped half-way leaves no old
  // bytes behind the new ones.
  Done EndHere();
  // Moves back `count` bytes of a file being read, so that they are read
  // again as the file holds them by then.
  Done SeekBack(std::uint32_t count);

  enum class CopyOutcome { Copied, ReadShort, WriteShort };
  struct [[nodiscard]] Copied {
    CopyOutcome outcome = CopyOutcome::Copied;
    platform::Failure failure;  // the read's or the write's
  };
  // Moves the next `count` bytes of this file to `to`: inside the kernel
  // where the platform can, the rest read into `buffer` and written.
  // `afterRead` runs once the bytes are in hand, before they are written,
  // so progress shows as it would for a read and a write; a failure is
  // still named as the read's or the write's.
  Copied CopyTo(FileHandle& to, char* buffer, std::uint32_t count,
                const std::function<void()>& afterRead);

  // See platform::ReplaceableByNewFile, CopyAccess and UsualAccess: what
  // a new file is given so that it can take this open file's place.
  bool ReplaceableByNewFile() const;
  Done CopyAccessFrom(const FileHandle& from);
  Done GiveUsualAccess();

  // The size of the entry at the stored path (not of the open handle).
  bool QuerySize(std::uint32_t* low, std::uint32_t* high) const;
  // The size of the file as it was opened to read, with no second lookup:
  // nothing when the last open was not a successful one to read.
  std::optional<std::uint64_t> OpenedSize() const;

  const char* Path() const { return path_; }

 private:
  Done OpenWith(const char* path, platform::OpenMode mode,
                const std::function<platform::FileId(platform::Failure*)>& open);

  platform::FileId handle_ = platform::InvalidFile;
  bool sizeKnown_ = false;
  std::uint64_t openedSize_ = 0;
  // Written over: the old bytes beyond written_ are still to be cut off.
  bool cutPending_ = false;
  std::uint64_t written_ = 0;
  char path_[text::PathCapacity] = {};
};

bool QueryFileSize(const char* path, std::uint32_t* low, std::uint32_t* high);

}  // namespace path
