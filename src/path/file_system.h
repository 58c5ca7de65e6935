// Questions to the file system about one path, folder creation, and the
// resolution of a typed source path into the names the file system stores.
// Every operation refuses a path that fails IsValidPath without asking the
// file system.
#pragma once

#include "platform/platform.h"

namespace path {

bool FileExists(const char* path);
bool FolderExists(const char* path);
bool PathExists(const char* path);
// Whether two paths name one existing file, a link under another name too.
bool SameFile(const char* a, const char* b);
// `out` has text::PathCapacity bytes.
bool ParentFolder(const char* path, char* out);
// `failure`, where given, receives why the folder could not be made.
bool CreateFolderTree(const char* path, platform::Failure* failure = nullptr);
// `out` has text::PathCapacity bytes and is left as it was on failure.
bool ResolveSourcePath(const char* input, char* out);

}  // namespace path
