// What the POSIX implementation's files share: path text as a native path,
// one way to retry a call a signal interrupted, and the failure a call
// hands back, for the reason on standard error.
#pragma once

#include <cerrno>
#include <cstddef>
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

// Hands errno (or `code`) and the file it concerns (empty where the caller
// names it: reads and writes) to a caller that asked for them.
inline void NoteFailure(Failure* failure, const std::string& native, int code = errno) {
  if (failure != nullptr) *failure = {code, native};
}

// Control bytes as ?, for text bound for a terminal; line breaks kept when
// `keepLineBreaks`.
void ShowControlBytesAsQuestionMarks(std::string* text, bool keepLineBreaks);

}  // namespace platform::posix
