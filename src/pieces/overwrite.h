// Opening a file to write: the overwrite question before a file that exists
// is replaced, and an open that never replaces a file the check did not see.
#pragma once

#include <functional>
#include <string>

#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/place.h"
#include "platform/platform.h"

namespace pieces {

enum class WriteTarget {
  New,      // nothing of that name was there
  Replace,  // something was, and may be replaced (or overwriteAll: not looked)
  Stop,     // the user stopped
};

// Before a file is created: when one of that name exists (a file, a folder
// or a link) and the run's overwriteAll is not set, asks the user. The
// answer A sets it for the rest of the run.
WriteTarget CheckWriteTarget(const path::Place& place, const std::string& element,
                             app::RunState& state);

// Replaced: a file that was there was emptied and opened.
enum class WriteOpen { Opened, Replaced, Stopped, Failed };
struct [[nodiscard]] WriteOpened {
  WriteOpen result;
  platform::Failure failure;  // why it Failed, where the system said
};

// Opens `element` in `place` for writing, through the place's folder, as
// CheckWriteTarget decided (and asks through `state` as it does); `file` is
// a handle on that folder. A name the path
// rules refuse never reaches the file system. A New target is only ever
// created: a file that appeared since the check brings the question now.
// Before an existing file is emptied, `clashes` (when given) may refuse it;
// `files` refuses a file this operation read or replaced. `replacing` is
// Replace, or Overwrite for a writer that ends with FileHandle::EndHere.
WriteOpened OpenToWrite(path::FileHandle& file, const path::Place& place,
                        const std::string& element, WriteTarget target, app::RunState& state,
                        platform::OpenedFiles* files,
                        const std::function<bool()>& clashes = nullptr,
                        platform::OpenMode replacing = platform::OpenMode::Replace);

}  // namespace pieces
