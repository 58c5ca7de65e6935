// The run's temporary file: removed by an interrupt, named only once whole.
#pragma once

#include <string>

#include "platform/platform.h"

namespace platform {

// From GuardTemporary until CommitTemporary or UnguardTemporary, an
// interrupt removes the file `element` in `folder` before the run ends by
// it: on POSIX SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (one ignored at
// start stays ignored; the run then ends by the signal, as it would have,
// with the terminal given back), on Windows Ctrl+C, Ctrl+Break and closing
// the console (the run then ends with exit status -1). SIGXFSZ is ignored
// meanwhile, so that a write past the size limit fails and the run's own
// way out removes the file. One file at a time; `folder` outlives the
// guard. Only the file opened with OpenMode::Temporary can be removed so
// on Windows.
void GuardTemporary(const Folder& folder, const char* element);
void UnguardTemporary();

// Gives the guarded file `from` the name `to` in the folder and ends the
// guard, with no interrupt between the two (POSIX: signals blocked around
// the rename). `replace`: a file or a link at `to` is replaced in one step
// (as RenameFile); otherwise a name that is taken by then is left alone
// and the call fails with the system's code for a file that exists
// (see NameTaken). On failure the guard stays.
bool CommitTemporary(const Folder& folder, const char* from, const char* to, bool replace,
                     Failure* failure = nullptr);

// Whether a failure is the system's "a file of that name exists".
bool NameTaken(const Failure& failure);

}  // namespace platform
