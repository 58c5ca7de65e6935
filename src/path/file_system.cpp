#include "path/file_system.h"

#include <cstring>
#include <string>

#include "path/path_rules.h"
#include "platform/common/path_text.h"
#include "platform/platform.h"

namespace path {

namespace {

bool Lookup(const char* path, platform::DirEntry* entry) {
  return platform::LookupEntry(path, entry);
}

// The drive prefix and the directory part of a path, its last element cut.
std::string FolderPart(const char* path) {
  const char* rest = path;
  if (platform::HasDrivePrefix(path)) rest = path + 2;
  const char* afterSeparator = rest;
  for (const char* p = rest; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '\\' || *p == '/') afterSeparator = p + 1;
  }
  return std::string(path, static_cast<std::size_t>(afterSeparator - path));
}

bool HasBackslashAfterPrefix(const char* path) {
  return std::strlen(path) > 2 && text::FindChar(path + 2, '\\') != nullptr;
}

bool LastByteIs(const std::string& s, char c) { return !s.empty() && s.back() == c; }

// 1 or 2 when the path ends in a . or .. element after a backslash, else 0;
// a name that merely ends in a dot (a POSIX name may) is no such element.
std::size_t DotElementLength(const std::string& path) {
  std::string folder = FolderPart(path.c_str());
  if (!LastByteIs(folder, '\\')) return 0;
  std::string last = path.substr(folder.size());
  return last == "." ? 1 : last == ".." ? 2 : 0;
}

bool IsBareDrive(const char* path) { return platform::HasDrivePrefix(path) && path[2] == '\0'; }

}  // namespace

bool FileExists(const char* path) {
  platform::DirEntry entry;
  return IsValidPath(path) && Lookup(path, &entry) && !entry.isFolder && !entry.isSpecial;
}

bool FolderExists(const char* path) {
  if (!IsValidPath(path) || std::strlen(path) >= platform::PathLimit()) return false;
  char copy[text::PathCapacity];
  std::strcpy(copy, path);
  // A 259-byte path has no room for the backslash; it is never a root, so
  // the lookup below, which strips it again, is unaffected.
  AppendBackslash(copy);
  if (IsDriveRoot(path) || IsUncShareRoot(path)) return platform::VolumeReady(copy);
  // A bare drive names its current folder, there while the drive is ready.
  if (IsBareDrive(path)) return platform::VolumeReady(copy);
  StripBackslash(copy);
  platform::DirEntry entry;
  return Lookup(copy, &entry) && entry.isFolder;
}

bool PathExists(const char* path) {
  if (!IsValidPath(path)) return false;
  // The volume answers for roots and bare drives; a trailing backslash asks
  // for a folder only.
  // Only a last element of . or .. can make a root of a relative path, so
  // a plain name needs no full path (no look at the current folder).
  const char* last = platform::LastElement(path);
  const bool dots = std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0;
  if (IsBareDrive(path) || EndsWithBackslash(path) || IsUncShareRoot(path) ||
      (dots && IsDriveRoot(path))) {
    return FolderExists(path);
  }
  // Otherwise one lookup answers both questions.
  platform::DirEntry entry;
  return Lookup(path, &entry) && (entry.isFolder || !entry.isSpecial);
}

bool SameFile(const char* a, const char* b) {
  return IsValidPath(a) && IsValidPath(b) && platform::SameFile(a, b);
}

bool ParentFolder(const char* path, char* out) {
  if (!IsValidPath(path)) return false;
  char full[text::PathCapacity];
  unsigned length = platform::FullPathName(path, full, platform::PathLimit());
  if (length == 0 || length >= platform::PathLimit()) return false;
  StripBackslash(full);
  if (IsUncPath(full) && !HasBackslashAfterPrefix(full)) AppendBackslash(full);

  char parent[text::PathCapacity];
  std::string folder = FolderPart(full);
  std::memcpy(parent, folder.c_str(), folder.size() + 1);
  StripBackslash(parent);
  if (parent[0] == '\0') return false;
  if (parent[std::strlen(parent) - 1] == ':') AppendBackslash(parent);
  if (IsUncPath(parent) && !HasBackslashAfterPrefix(parent)) AppendBackslash(parent);
  std::strcpy(out, parent);
  return true;
}

bool CreateFolderTree(const char* path, platform::Failure* failure) {
  if (!IsValidPath(path)) return false;
  if (FolderExists(path)) return false;
  char parent[text::PathCapacity];
  if (!ParentFolder(path, parent)) return false;
  if (FolderExists(parent)) return platform::MakeFolder(path, failure);
  if (IsDriveRoot(parent) || IsUncServerPath(parent)) return false;
  // The recursion ends: each parent is shorter than the path it came from.
  if (std::strcmp(parent, path) == 0) return false;
  return CreateFolderTree(parent, failure) && platform::MakeFolder(path, failure);
}

bool ResolveSourcePath(const char* input, char* out) {
  if (!IsValidPath(input) || std::strlen(input) >= platform::PathLimit()) return false;
  if (IsUncServerPath(input)) {
    std::strcpy(out, input);
    return true;
  }
  if (IsUncShareRoot(input) || IsDriveRoot(input)) {
    if (!FolderExists(input)) return false;
    std::strcpy(out, input);
    return true;
  }

  char working[text::PathCapacity];
  std::strcpy(working, input);
  StripBackslash(working);
  std::string tail;
  platform::DirEntry entry;
  if (!Lookup(working, &entry)) return false;
  for (;;) {
    tail = entry.storedName + tail;
    std::string folder = FolderPart(working);
    std::memcpy(working, folder.c_str(), folder.size() + 1);
    // C:name is relative to the drive's current folder, and stays so: a
    // backslash after the drive would name the root's namesake instead.
    if (IsBareDrive(working)) break;
    StripBackslash(working);
    if (working[0] == '\0') break;
    tail = "\\" + tail;
    std::string w = working;
    if (LastByteIs(w, ':')) break;
    if (IsUncShareRoot(working)) break;
    for (std::size_t n; w.size() > 2 && (n = DotElementLength(w)) != 0;) {
      tail = (n == 2 ? "\\.." : "\\.") + tail;
      w.resize(w.size() - n - 1);
    }
    std::strcpy(working, w.c_str());
    if (w.size() <= 2) break;
    if (!Lookup(working, &entry)) break;
  }

  std::string result = std::string(working) + tail;
  if (EndsWithBackslash(input) && !EndsWithBackslash(result.c_str())) result += '\\';
  // Stored names longer than the typed ones could overflow the buffer; the
  // path as typed names the same file, so it stands instead.
  if (result.size() >= platform::PathLimit()) result = input;
  std::strcpy(out, result.c_str());
  return true;
}

}  // namespace path
