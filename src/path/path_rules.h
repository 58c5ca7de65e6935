// The syntax check that every path passes before any file-system call, and
// small tests and edits on path text. None of them prints anything.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace path {

bool IsValidPath(const char* path);

// Path text in the encodings files are written in (see platform).
using platform::PathTextToBatchText;
using platform::PathTextToUtf8;

// In-place edits. Each returns the buffer, or nullptr (buffer unchanged)
// when the result would not fit `capacity` bytes with its zero byte, or,
// for AppendBackslash, when the text ends in a dangling lead byte.
char* AppendBackslash(char* path, std::size_t capacity = platform::PathLimit());
char* StripBackslash(char* path);
char* QuoteIfSpaced(char* name, std::size_t capacity = platform::PathLimit());

bool EndsWithBackslash(const char* path);
bool IsUncPath(const char* path);
bool IsUncServerPath(const char* path);
bool IsUncShareRoot(const char* path);
bool IsDriveRoot(const char* path);

// True when the characters at `p` are those of the ASCII literal.
bool BeginsWith(const char* p, const char* literal);

}  // namespace path
