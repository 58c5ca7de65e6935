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

  const char* Server() const { return parts_[Server_]; }
  const char* Share() const { return parts_[Share_]; }
  const char* Drive() const { return parts_[Drive_]; }
  const char* Dir() const { return parts_[Dir_]; }
  const char* Fname() const { return parts_[Fname_]; }
  const char* Ext() const { return parts_[Ext_]; }

 private:
  enum Component { Server_, Share_, Drive_, Dir_, Fname_, Ext_, ComponentCount };

  char fullPath_[text::PathCapacity];
  // The six texts back to back, each with its zero byte.
  char storage_[text::PathCapacity + 5];
  const char* parts_[ComponentCount];
};

}  // namespace path
