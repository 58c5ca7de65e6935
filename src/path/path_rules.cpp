#include "path/path_rules.h"

#include <cstring>

#include "platform/common/path_text.h"
#include "platform/platform.h"

namespace path {

namespace {

// Characters refused anywhere in a path.
bool IsForbidden(char c) { return std::strchr("/|\",;*?<>", c) != nullptr; }

bool LastCharIs(const char* path, char c) {
  const char* last = text::LastChar(path);
  return last != nullptr && *last == c;
}

// Step past `count` characters, never past the terminator.
const char* Advance(const char* p, int count) {
  for (int i = 0; i < count && *p != '\0'; ++i) p += text::CharLength(p);
  return p;
}

// The copy that the UNC tests look at: the path without one trailing
// backslash, in a buffer of its own.
bool StrippedCopy(const char* path, char (&copy)[text::PathCapacity]) {
  if (std::strlen(path) >= platform::PathLimit()) return false;
  std::strcpy(copy, path);
  StripBackslash(copy);
  return true;
}

// The rules of a POSIX system, whose file systems hold every name but one
// with a slash: of path text's own syntax only the drive, the UNC prefix
// and the backslash separator remain, and no element may be empty.
bool IsValidPosixPath(const char* path) {
  const char* p = path;
  if (BeginsWith(p, "\\\\")) {
    p += 2;
    if (BeginsWith(p, "\\")) return false;
  }
  for (; *p != '\0'; p += text::CharLength(p)) {
    if (BeginsWith(p, "/") || BeginsWith(p, "\\\\")) return false;
  }
  return true;
}

}  // namespace

bool BeginsWith(const char* p, const char* literal) {
  for (; *literal != '\0'; ++literal) {
    if (*p == '\0' || text::CharLength(p) != 1 || *p != *literal) return false;
    ++p;
  }
  return true;
}

bool IsValidPath(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  // A lead byte without its second byte is malformed text.
  if (text::HasDanglingLeadByte(path)) return false;
  if (platform::Naming() == platform::NamingRules::Posix) return IsValidPosixPath(path);

  if (BeginsWith(path, ".") && !BeginsWith(path, ".\\") && !BeginsWith(path, "..\\")) return false;
  if (BeginsWith(path, " ")) return false;

  for (const char* p = path; *p != '\0'; p += text::CharLength(p)) {
    if (text::CharLength(p) == 1 && IsForbidden(*p)) return false;
  }

  // The root; `start` is where the element scan begins.
  const char* start = path;
  bool rooted = false;
  if (BeginsWith(path, "\\\\")) {
    if (BeginsWith(path + 2, "\\")) return false;
    const char* p = path + 2;
    for (;; p += text::CharLength(p)) {
      if (*p == '\0') return true;
      if (BeginsWith(p, ":")) return false;
      if (BeginsWith(p, "\\")) break;
    }
    if (p[1] == '\0') return true;
    start = p + 1;
    rooted = true;
  } else if (BeginsWith(Advance(path, 1), ":")) {
    if (!platform::HasDrivePrefix(path, platform::DriveLetter::AsciiLetter)) return false;
    const char* c = path + 2;
    if (BeginsWith(c, ":") || BeginsWith(c, " ")) return false;
    start = Advance(c, 1);
    rooted = true;
  }

  if (rooted && (BeginsWith(start, "\\") || BeginsWith(start, "."))) return false;

  for (const char* p = start; *p != '\0';) {
    if (BeginsWith(p, ":")) return false;
    if (BeginsWith(p, "\\ ") || BeginsWith(p, " \\") || BeginsWith(p, "\\\\")) return false;
    if (BeginsWith(p, "\\.")) {
      if (BeginsWith(p, "\\..\\")) {
        p = Advance(p, 3);
      } else if (BeginsWith(p, "\\.\\")) {
        p = Advance(p, 2);
      } else {
        return false;
      }
    } else if (BeginsWith(p, ".\\")) {
      if (p != path) return false;
      p = Advance(p, 1);
    } else if (BeginsWith(p, "..\\")) {
      if (p != path) return false;
      p = Advance(p, 2);
    } else {
      p = Advance(p, 1);
    }
  }

  return !LastCharIs(path, ' ') && !LastCharIs(path, '.');
}

char* AppendBackslash(char* path, std::size_t capacity) {
  // A dangling lead byte would take the backslash as its second byte, and
  // the text would still not end in a separator.
  if (text::HasDanglingLeadByte(path)) return nullptr;
  if (platform::EndsWithSeparator(path)) return path;
  std::size_t length = std::strlen(path);
  if (length + 2 > capacity) return nullptr;
  path[length] = '\\';
  path[length + 1] = '\0';
  return path;
}

char* StripBackslash(char* path) {
  const char* last = text::LastChar(path);
  if (last != nullptr && *last == '\\') path[last - path] = '\0';
  return path;
}

char* QuoteIfSpaced(char* name, std::size_t capacity) {
  std::size_t length = std::strlen(name);
  if (length == 0) return name;
  if (name[0] == '"' && name[length - 1] == '"') return name;
  if (text::FindChar(name, ' ') == nullptr) return name;
  if (length + 3 > capacity) return nullptr;
  std::memmove(name + 1, name, length);
  name[0] = '"';
  name[length + 1] = '"';
  name[length + 2] = '\0';
  return name;
}

bool EndsWithBackslash(const char* path) { return platform::EndsWithSeparator(path); }

bool IsUncPath(const char* path) { return IsValidPath(path) && BeginsWith(path, "\\\\"); }

bool IsUncServerPath(const char* path) {
  char copy[text::PathCapacity];
  if (!IsUncPath(path) || !StrippedCopy(path, copy)) return false;
  return std::strlen(copy) <= 2 || text::FindChar(copy + 2, '\\') == nullptr;
}

bool IsUncShareRoot(const char* path) {
  char copy[text::PathCapacity];
  if (!IsUncPath(path) || !StrippedCopy(path, copy)) return false;
  if (std::strlen(copy) <= 2) return false;
  const char* first = text::FindChar(copy + 2, '\\');
  return first != nullptr && text::FindChar(first + 1, '\\') == nullptr;
}

bool IsDriveRoot(const char* path) {
  if (!IsValidPath(path)) return false;
  char full[text::PathCapacity];
  unsigned length = platform::FullPathName(path, full, platform::PathLimit());
  if (length == 0 || length >= platform::PathLimit()) return false;
  return length >= 3 && full[length - 2] == ':';
}

}  // namespace path
