// A folder that a run reads or writes files in, resolved once, and the
// names composed in it. A name is the folder and an element; the element
// is never read as a path again, so no file name turns into a drive or a
// folder (on POSIX c:x in the current folder is ./c:x, not drive C:).
#pragma once

#include <string>

#include "platform/platform.h"

namespace path {

// A name as a message shows it: the folder as given and the element,
// each put into the form the user reads where it is shown.
struct Shown {
  std::string folder;
  std::string element;
};

class Place {
 public:
  // `typed`: the folder as given (empty for the current folder, else
  // ending in a backslash), which messages show.
  explicit Place(const std::string& typed);
  Place(const Place&) = delete;
  Place& operator=(const Place&) = delete;

  // False when the folder's full form could not be made or is too long.
  bool Resolved() const { return !full_.empty(); }
  // Whether the full form of `element` in this folder fits a path.
  bool Fits(const std::string& element) const;
  // The full form of `element` in this folder; empty when it does not fit.
  std::string PathOf(const std::string& element) const;
  Shown ShownOf(const std::string& element) const;

  const std::string& Typed() const { return typed_; }

  // The full form of a typed folder, ending in a backslash, without
  // resolving it: empty when it cannot be made or does not fit.
  static std::string FullForm(const std::string& typed);
  // Whether `element` in the typed folder would fit a path.
  static bool WouldFit(const std::string& typed, const std::string& element);
  const platform::Folder& Handle() const { return folder_; }

  // The entry `element` names, through the folder resolved at the start.
  bool Lookup(const std::string& element, platform::DirEntry* entry) const;
  bool FileExists(const std::string& element) const;
  // A file or a folder, not a special file (as PathExists).
  bool Exists(const std::string& element) const;

 private:
  std::string typed_;
  std::string full_;  // ends in a backslash
  platform::Folder folder_;
};

}  // namespace path
