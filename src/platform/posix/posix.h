// What the POSIX implementation's files share: path text as a native path,
// one way to retry a call a signal interrupted, names in a folder and
// renames there, and the failure a call hands back, for the reason on
// standard error.
#pragma once

#include <fcntl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform::posix {

// Calls `call` again while it fails with EINTR.
template <typename Call>
auto RetryOnInterrupt(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

// Writes every byte unless the descriptor fails.
void WriteAll(int fd, const char* data, std::size_t size);

// The whole file system is drive C:, whose root is /.
// Path text as a native path; false for what names nothing here (other
// drives, UNC paths, a full form too long).
bool NativePath(const char* path, std::string* native);

int OpenRetrying(const std::string& native, int flags);

// An element of a folder as the *at calls take it: from the folder's
// handle, or the whole path from the current folder.
class ElementAt {
 public:
  ElementAt(const Folder& folder, const char* element)
      : native(folder.NativePrefix() + element),
        at(folder.Handle() == -1 ? AT_FDCWD : static_cast<int>(folder.Handle())),
        element_(element) {}
  const char* Relative() const { return at == AT_FDCWD ? native.c_str() : element_; }
  // A name, not the folder itself nor a path below it.
  bool Named() const { return element_[0] != '\0' && std::strchr(element_, '/') == nullptr; }

  const std::string native;  // what messages name
  const int at;

 private:
  const char* element_;
};

// Gives the file `from` in the folder the name `to` there. Without
// `replace`, a name taken by then is left alone and the call fails with
// EEXIST.
bool RenameInFolder(const Folder& folder, const char* from, const char* to, bool replace,
                    Failure* failure);

// Hands errno (or `code`) and the file it concerns (empty where the caller
// names it: reads and writes) to a caller that asked for them.
inline void NoteFailure(Failure* failure, const std::string& native, int code = errno) {
  if (failure != nullptr) *failure = {code, native, {}};
}

// Control bytes as ?, for text bound for a terminal; line breaks kept when
// `keepLineBreaks`.
void ShowControlBytesAsQuestionMarks(std::string* text, bool keepLineBreaks);

}  // namespace platform::posix
