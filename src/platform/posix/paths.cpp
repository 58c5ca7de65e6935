// Paths on POSIX: the whole file system is drive C:, whose root is /; path
// text turns into a native path only here, backslash by backslash, so a
// double-byte character is never split. Also the command line, whose
// native paths become path text, and the folders that a run resolves once.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/common/full_path.h"
#include "platform/common/path_text.h"
#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace platform {

namespace posix {

// Path text to a native path, by way of its full form as Windows would
// make it: . and .. go before the file system is asked, as they do there.
// UNC paths and drives other than C: name nothing here.
bool NativePath(const char* path, std::string* native) {
  // Without . and .. elements or doubled separators the text maps straight
  // onto a native path; only the others need their full form.
  if (!(path[0] == '\\' && path[1] == '\\') && !HasDotOrEmptyElement(path)) {
    const char* rest = path;
    if (HasDrivePrefix(path)) {
      if (!HasDrivePrefix(path, DriveLetter::C)) return false;
      rest = path + 2;
    }
    *native = rest[0] == '\0' ? std::string(".") : SwapSeparators(rest, '\\', '/');
    return true;
  }
  char full[text::PathCapacity];
  unsigned length = FullPathName(path, full, platform::PathLimit());
  if (length == 0 || length >= platform::PathLimit() || !HasDrivePrefix(full, DriveLetter::C))
    return false;
  *native = SwapSeparators(full + 2, '\\', '/');
  return true;
}

}  // namespace posix

using namespace posix;

namespace {

// The reading a CurrentFolderReading holds; null outside one. A folder
// that could not be read is an empty reading.
const std::string* readCurrentFolder = nullptr;

bool ReadCurrentFolder(std::string* native) {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return false;
  *native = buffer;
  return true;
}

bool CurrentNative(std::string* native) {
  if (readCurrentFolder == nullptr) return ReadCurrentFolder(native);
  *native = *readCurrentFolder;
  return !native->empty();
}

bool CurrentDirectory(std::string* current) {
  std::string native;
  if (!CurrentNative(&native)) return false;
  *current = "C:" + SwapSeparators(native.c_str(), '/', '\\');
  return true;
}

}  // namespace

CurrentFolderReading::CurrentFolderReading() {
  static std::string reading;
  if (!ReadCurrentFolder(&reading)) reading.clear();
  readCurrentFolder = &reading;
}

CurrentFolderReading::~CurrentFolderReading() { readCurrentFolder = nullptr; }

unsigned PathLimit() {
  return static_cast<unsigned>(PATH_MAX < text::PathCapacity ? PATH_MAX : text::PathCapacity);
}

NamingRules Naming() { return NamingRules::Posix; }

std::string ArgumentToPathText(const char* argument) {
  if (argument[0] != '/') return SwapSeparators(argument, '/', '\\');
  // A lone slash is the size option, as on Windows: a forgotten size must
  // not turn a division into a join into the root, which is written /. or //.
  if (std::strcmp(argument, "/") == 0) return argument;
  if (std::strcmp(argument, "/.") == 0 || std::strcmp(argument, "//") == 0) return "C:\\";
  static const char* const optionWords[] = {"/c", "/s", "/y", "/h", "/?", "/f", "/v"};
  for (const char* word : optionWords) {
    if (std::strlen(argument) == 2 && (argument[1] | 0x20) == word[1]) return argument;
  }
  struct stat info;
  if (std::strchr(argument + 1, '/') != nullptr || stat(argument, &info) == 0) {
    return "C:" + SwapSeparators(argument, '/', '\\');
  }
  return argument;
}

bool CurrentFolderIsPathText() {
  std::string native;
  return !CurrentNative(&native) || text::FindChar(native.c_str(), '\\') == nullptr;
}

ConventionalRequest ConventionalRequestOf(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return ConventionalRequest::Help;
    if (std::strcmp(argv[i], "--version") == 0) return ConventionalRequest::Version;
  }
  return ConventionalRequest::None;
}

std::string DisplayElement(const char* element, Screen screen) {
  std::string display = element;
  static const bool toTerminal = isatty(STDOUT_FILENO) == 1;
  if (toTerminal || screen == Screen::Keys) ShowControlBytesAsQuestionMarks(&display, false);
  return display;
}

std::string DisplayPath(const char* path, Screen screen) {
  // C:\x is /x, and C:x (the current folder's) is x.
  const char* shown = HasDrivePrefix(path, DriveLetter::C) ? path + 2 : path;
  std::string display = SwapSeparators(shown, '\\', '/');
  // On a terminal a control byte in a name could move the cursor, retitle
  // the window or wipe the screen: it shows as ?, as ls shows it. Files and
  // pipes get the exact name.
  static const bool toTerminal = isatty(STDOUT_FILENO) == 1;
  if (toTerminal || screen == Screen::Keys) ShowControlBytesAsQuestionMarks(&display, false);
  return display;
}

unsigned FullPathName(const char* path, char* out, unsigned outSize) {
  // A UNC path or one from a drive's root does not depend on where we are.
  const bool absolute =
      (path[0] == '\\' && path[1] == '\\') || (HasDrivePrefix(path) && path[2] == '\\');
  std::string current;
  if (!absolute && !CurrentDirectory(&current)) return 0;
  return ComposeFullPath(path, current.c_str(), out, outSize);
}

bool SameFile(const char* a, const char* b) {
  std::string nativeA;
  std::string nativeB;
  struct stat infoA;
  struct stat infoB;
  return NativePath(a, &nativeA) && NativePath(b, &nativeB) && stat(nativeA.c_str(), &infoA) == 0 &&
         stat(nativeB.c_str(), &infoB) == 0 && infoA.st_dev == infoB.st_dev &&
         infoA.st_ino == infoB.st_ino;
}

bool MakeFolder(const char* path, Failure* failure) {
  std::string native;
  if (!NativePath(path, &native)) return false;
  if (mkdir(native.c_str(), 0777) == 0) return true;
  NoteFailure(failure, native);
  return false;
}

bool VolumeReady(const char* path, Failure* failure) {
  char full[text::PathCapacity];
  unsigned length = FullPathName(path, full, platform::PathLimit());
  if (length != 3 || !HasDrivePrefix(full, DriveLetter::C) || full[2] != '\\') return false;
  struct statvfs info;
  if (statvfs("/", &info) == 0) return true;
  NoteFailure(failure, "/");
  return false;
}

}  // namespace platform
