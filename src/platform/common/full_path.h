// The full-path rules of GetFullPathNameA on path text, for platforms that
// do not have them: drive-relative, rooted and UNC paths, with . and ..
// collapsed, resolved against a current directory such as C:\work.
#pragma once

namespace platform {

// Same result convention as FullPathName: the length written when it fits
// `outSize` with its zero byte, else the size needed, 0 on failure.
unsigned ComposeFullPath(const char* path, const char* currentDir, char* out, unsigned outSize);

}  // namespace platform
