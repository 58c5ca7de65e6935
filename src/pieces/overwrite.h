// Opening a file to write: the overwrite question before a file that exists
// is replaced, and an open that never replaces a file the check did not see.
#pragma once

#include <functional>

#include "path/file_handle.h"
#include "platform/platform.h"

namespace pieces {

enum class WriteTarget {
  New,      // nothing of that name was there
  Replace,  // something was, and may be replaced (or overwriteAll: not looked)
  Stop,     // the user stopped
};

// Before a file is created: when one of that name exists (a file, a folder
// or a link) and overwriteAll is not set, asks the user. The answer A sets
// overwriteAll for the rest of the run.
WriteTarget CheckWriteTarget(const char* name);

enum class WriteOpen { Opened, Stopped, Failed };

// Opens `name` for writing as CheckWriteTarget decided. A name the path
// rules refuse never reaches the file system. A New target is only ever
// created: a file that appeared since the check brings the question now.
// Before an existing file is emptied, `clashes` (when given) may refuse it;
// `files` refuses a file this operation read or replaced.
WriteOpen OpenToWrite(path::FileHandle& file, const char* name, WriteTarget target,
                      platform::OpenedFiles* files, const std::function<bool()>& clashes = nullptr);

}  // namespace pieces
