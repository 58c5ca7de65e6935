// A folder that a run reads or writes files in, resolved once, and the
// names composed in it. A name is the folder and an element; the element
// is never read as a path again, so no file name turns into a drive or a
// folder (on POSIX c:x in the current folder is ./c:x, not drive C:).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "path/file_handle.h"
#include "platform/platform.h"

namespace path {

// A name as a message shows it: the folder as given and the element,
// each put into the form the user reads where it is shown.
struct Shown {
  std::string folder;
  std::string element;
};

// What a failure of the calls below says, read without asking again.
using platform::IsMemoryShort;
using platform::NameTaken;
using platform::NotFound;

class Place {
 public:
  // `typed`: the folder as given (empty for the current folder, else
  // ending in a backslash), which messages show.
  explicit Place(const std::string& typed);
  // The same with its full form made already (see FullForm).
  Place(const std::string& typed, const std::string& full);
  // Another name for the folder `same` resolved: its handle is shared, so
  // one folder is opened once however often a run names it.
  Place(const std::string& typed, const Place& same);
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

  const std::string& Full() const { return full_; }

  // The full form of a typed folder, ending in a backslash, without
  // resolving it: empty when it cannot be made or does not fit.
  static std::string FullForm(const std::string& typed);
  // Whether `element` in the folder of that full form would fit a path.
  static bool FitsIn(const std::string& full, const std::string& element);
  // Whether the name as typed (folder and element) fits a path too: the
  // folder as typed may be longer than its full form (a\..\).
  bool FitsAsTyped(const std::string& element) const;

  // Every call below reaches `element` through the folder resolved at the
  // start, as the platform's call of that name does.

  // The entry `element` names: false where none is there (or the look
  // failed, which reads the same).
  [[nodiscard]] bool Lookup(const std::string& element, platform::DirEntry* entry) const;
  [[nodiscard]] bool FileExists(const std::string& element) const;
  // A file or a folder, not a special file (as PathExists).
  [[nodiscard]] bool Exists(const std::string& element) const;
  [[nodiscard]] bool IdentityOf(const std::string& element, platform::FileIdentity* identity,
                                bool* soleName = nullptr) const;
  // Names that may be files here, as platform::ListFiles gives them.
  [[nodiscard]] bool ListFiles(const std::function<void(const char* name, bool plain)>& each) const;
  [[nodiscard]] bool FreeSpace(std::uint64_t* bytes) const;

  // Opens `file` on `element`: nothing when the element does not fit.
  Done Open(FileHandle& file, const std::string& element, platform::OpenMode mode,
            platform::OpenedFiles* files = nullptr) const;
  Done Remove(const std::string& element) const;
  struct [[nodiscard]] Removed {
    platform::Removal result;
    platform::Failure failure;  // where Failed
  };
  Removed RemoveUnlessInUse(const std::string& element) const;

  // The run's temporary file `element` here (see platform::GuardTemporary):
  // guarded until it is committed under the name `to`, or removed.
  void GuardTemporary(const std::string& element) const;
  Done CommitTemporary(const std::string& element, const std::string& to, bool replace) const;
  void RemoveTemporary(const std::string& element) const;

  // Whether two elements name one entry, as the file system compares them,
  // and whether it ignores the case of ASCII letters in names.
  static bool SameElement(const std::string& a, const std::string& b);
  static bool IgnoresCase();

 private:
  std::string typed_;
  std::string full_;  // ends in a backslash
  std::shared_ptr<const platform::Folder> folder_;
};

}  // namespace path
