// A file written under a temporary name beside its own and given that name
// only once it is whole: a run that stops before then leaves nothing under
// the name, and an interrupt, or any way out of its owner, removes it.
#pragma once

#include <string>

#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/place.h"
#include "platform/platform.h"

namespace pieces {

// The temporary names for `element`: "ELEMENT.unfinished-N". None ends in
// a piece number (a dot and three digits or letters), so no join takes
// one for a piece, and the name says what the file is.
std::string UnfinishedElement(const std::string& element, int n);
// How many are tried before the folder counts as full of them.
inline constexpr int UnfinishedNames = 100;

class PendingFile {
 public:
  // `file` is a handle on `place`'s folder; both outlive this.
  PendingFile(const path::Place& place, path::FileHandle& file) : place_(place), file_(file) {}
  ~PendingFile() { Discard(); }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  enum class Created {
    Yes,
    TooLong,  // no temporary name fits a path
    Failed,   // an entry of any kind at a name skips it
    AllTaken,
  };
  struct [[nodiscard]] Creation {
    Created result;
    platform::Failure failure;  // the last create's that failed
  };
  // Creates the file for `element` under the first free temporary name,
  // readable by its owner only, and guards it against interrupts.
  Creation Create(const std::string& element);

  const std::string& Element() const { return element_; }
  path::Shown Shown() const { return place_.ShownOf(element_); }

  // Says that no temporary file could be made in the folder, and why.
  void ReportNotCreated(const Creation& creation) const;

  // The access the file gets with its name: that of the file `held` (open),
  // else that of any new file. False, reported, when it cannot be given.
  bool GiveAccess(const path::FileHandle* held);

  // Closes the file and gives it the name `element`: replacing what is
  // there with `replace`, else asking about a file that appeared there
  // meanwhile, as before any write (a folder or a special file there is
  // refused). Failures are reported.
  enum class Named { Yes, Stopped, Failed };
  Named TakeName(const std::string& element, bool replace, app::RunState& state);
  // Closes and removes the file, if it is still there under its temporary name.
  void Discard();

 private:
  const path::Place& place_;
  path::FileHandle& file_;
  std::string element_;  // empty once committed or removed
};

}  // namespace pieces
