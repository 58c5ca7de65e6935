// A path resolved to its full form and broken into server, share, drive,
// dir, fname and ext, whose concatenation is the full path again.
#pragma once

#include "text/code_page.h"

namespace path {

class PathParts {
 public:
  PathParts() { Reset(); }
  virtual ~PathParts() = default;
  PathParts(const PathParts&) = delete;
  PathParts& operator=(const PathParts&) = delete;

  void Reset();
  // Replaces everything the record held; on failure it is left empty. The
  // path must not be one of this record's own component texts.
  bool Decompose(const char* path);

  // The components in the order they make up the full path.
  enum Component { ServerPart, SharePart, DrivePart, DirPart, FnamePart, ExtPart, PartCount };

  const char* Server() const { return parts_[ServerPart]; }
  const char* Share() const { return parts_[SharePart]; }
  const char* Drive() const { return parts_[DrivePart]; }
  const char* Dir() const { return parts_[DirPart]; }
  const char* Fname() const { return parts_[FnamePart]; }
  const char* Ext() const { return parts_[ExtPart]; }

 private:
  char fullPath_[text::PathCapacity];
  // The six texts back to back, each with its zero byte.
  char storage_[text::PathCapacity + 5];
  const char* parts_[PartCount];
};

}  // namespace path
