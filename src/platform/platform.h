// Every operating-system service the program uses, in the program's own
// words. One implementation per platform (posix/, win32/, a file per
// concern) and an in-memory fake for tests, chosen per target by the build;
// program logic never tests the platform itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "text/code_page.h"

namespace platform {

// Sets the runtime locale (".OCP" on Windows, the user's locale on POSIX)
// and answers the code page of path text.
int InitializeLocale();

// Gives a closed standard input, output or error a harmless stand-in, so
// that no file the program opens takes its place and receives its messages.
void OpenStandardStreams();

// The longest path text the platform takes, its zero byte included:
// MAX_PATH on Windows (and in the fake), PATH_MAX on POSIX. Never more
// than text::PathCapacity.
unsigned PathLimit();

// The names that path text may hold: Windows' rules, or on POSIX every
// name its file systems hold but one with a backslash.
enum class NamingRules { Windows, Posix };
NamingRules Naming();

// --- Command line and display -------------------------------------------

// The command-line argument as path text. Identity on Windows; on POSIX a
// native path becomes backslash path text, and an absolute path C:\...
std::string ArgumentToPathText(const char* argument);

// False when the current folder cannot be written as path text (on POSIX,
// a folder whose path holds a backslash): no relative path would name it.
bool CurrentFolderIsPathText();

// A request that the command line makes by the platform's own convention,
// answered before the options are read: on POSIX an argument --help or
// --version (a file of that name is ./--help). None on Windows.
enum class ConventionalRequest { None, Help, Version };
ConventionalRequest ConventionalRequestOf(int argc, const char* const* argv);

// Where a text is shown: standard output, or the terminal or console that
// the questions' keys are read from, where standard output is not that one.
enum class Screen { Output, Keys };

// Path text as the user reads it on this platform.
std::string DisplayPath(const char* path, Screen screen = Screen::Output);

// Path text as code page 932, the batch files' encoding on every platform.
// False when code page 932 cannot hold it exactly.
bool PathTextToBatchText(const std::string& name, std::string* cp932);

// A fixed message (code page 932 bytes) in the console's encoding.
std::string MessageForConsole(const char* cp932Text, Screen screen = Screen::Output);

// Opens, before any file, what the run's conversions need: of messages into
// the console's encoding, and with `batchNames` of names into code page
// 932. False, with the platform's report of it, when they cannot be had.
bool PrepareConversions(bool batchNames);

// Writes bytes to standard output; they are visible when this returns.
void ConsoleWrite(const std::string& bytes);

// Follows a failure message by the platform's own report of it: on POSIX
// one line on standard error, "divro: NAME: REASON", with the system's text
// for the call that failed since the last report where one did, else the
// message. `path` (may be null) names the file the failure concerns.
void ReportFailure(const char* path, const char* cp932Message);

// --- Paths and directory entries ----------------------------------------

// The rules of GetFullPathNameA: the length written (without the zero
// byte) when the full path fits `outSize`, else the size needed including
// the zero byte, or 0 on failure.
unsigned FullPathName(const char* path, char* out, unsigned outSize);

struct DirEntry {
  bool isFolder = false;
  // A FIFO, socket or device (through a link too): never a file to transfer.
  bool isSpecial = false;
  std::uint64_t size = 0;
  char storedName[text::PathCapacity] = {};  // the name as the file system stores it
};

// Looks up the one entry a path names (no wildcards reach here). A link at
// the name is an entry of its own, reported as what it points to, or as an
// empty file when it points nowhere.
bool LookupEntry(const char* path, DirEntry* entry);

// Whether two paths name one existing file, a link under another name too.
bool SameFile(const char* a, const char* b);

bool MakeFolder(const char* path);

// Whether the volume of a root path is ready, with no critical-error box.
bool VolumeReady(const char* path);

// --- Folders ---------------------------------------------------------------

// The folder that holds a file, resolved once: the many files of one run
// that lie in it are found from it rather than from the root each time, and
// stay in the folder resolved at the start even if a folder on its path is
// renamed or replaced meanwhile. Where the platform keeps no such handle, or
// it could not be made, paths are resolved whole, with the same results.
class Folder {
 public:
  // The folder of `filePath` (path text): all but its last element.
  explicit Folder(const char* filePath);
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The implementation's own: its handle (-1 for none), and the native
  // path before the last element of the paths it resolves.
  std::intptr_t Handle() const { return handle_; }
  const std::string& NativePrefix() const { return nativePrefix_; }

 private:
  std::intptr_t handle_ = -1;
  std::string nativePrefix_;
};

// Calls `each` with the name of every plain file the folder lists as one
// (not a link, not a special file: those are for a lookup by name to
// judge). False when the folder could not be listed; `each` may have been
// called for some names then.
bool ListFiles(const Folder& folder, const std::function<void(const char* name)>& each);

// --- File contents -------------------------------------------------------

using FileId = std::intptr_t;
constexpr FileId InvalidFile = -1;

enum class OpenMode {
  Read,       // an existing regular file; others may read it, not write it
  Probe,      // an existing file, no transfer
  CreateNew,  // a file that does not exist yet; refused when one does
  Replace,    // creates or empties a regular file; a link at the name is
              // replaced itself, never written through
};

// The volume and index that name one file whatever name reaches it.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The files one operation has read or replaced: a later write that reaches
// one of them, through a hard link or a symbolic link, is refused before
// anything is emptied.
class OpenedFiles {
 public:
  bool Holds(const FileIdentity& id) const { return ids_.count({id.volume, id.index}) != 0; }
  void Add(const FileIdentity& id) { ids_.insert({id.volume, id.index}); }

 private:
  std::set<std::pair<std::uint64_t, std::uint64_t>> ids_;
};

// Opens only regular files and never blocks (a FIFO is refused, not waited
// on). A file open for writing is shared with no other opener, one open for
// reading with readers only, divro or not, as far as the platform enforces
// it. `files`, where given, receives the identity of a file read or
// replaced, and refuses a replacement that would reach one it holds.
// `size`, where given, receives the size of a file opened to read: the
// open file's own, whatever its name names by now.
FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files = nullptr,
                std::uint64_t* size = nullptr);
// The same for a path that lies in `folder`: only its last element is
// resolved, from the folder. Any other path is opened whole.
FileId FileOpen(const Folder& folder, const char* path, OpenMode mode, OpenedFiles* files = nullptr,
                std::uint64_t* size = nullptr);
void FileClose(FileId file);
// One transfer each; the count moved, short on failure.
std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count);
std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count);
// Moves up to `count` bytes from one file's position to the other's inside
// the kernel (sharing extents where the file system can). The count moved;
// 0 where the platform has no such copy. A short count names no culprit:
// the caller moves the rest itself.
std::uint32_t FileCopy(FileId from, FileId to, std::uint32_t count);

// --- Heap blocks ---------------------------------------------------------

void* HeapAllocZeroed(std::size_t size);
// nullptr on failure, the block then unchanged; new bytes are zero-filled.
// The block may move.
void* HeapResize(void* block, std::size_t size);
void HeapRelease(void* block);

// --- Console keyboard ----------------------------------------------------

// Owns the console keyboard while a question waits: line editing and echo
// are off for its lifetime and restored on every way out.
class Keyboard {
 public:
  Keyboard();
  ~Keyboard();
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // False when there is no console to read: no key will ever come.
  bool Present() const { return device_ != InvalidFile; }
  bool KeyAvailable();
  // 0..255; a function or cursor key gives 0 or 224 first, then its code.
  int ReadKey();

  // Whether standard output goes elsewhere than where the keys are read (a
  // file, a pipe), so that a question must be shown here too to be seen.
  bool ShowsQuestions() const { return screen_ != InvalidFile; }
  // Writes a question's text, made for Screen::Keys, where the keys are
  // read; nothing unless ShowsQuestions.
  void Show(const std::string& text);

 private:
  FileId device_ = InvalidFile;
  FileId screen_ = InvalidFile;  // on POSIX the terminal device_ reads
  int pendingCode_ = -1;
  unsigned long savedMode_ = 0;
};

void Sleep(unsigned milliseconds);

}  // namespace platform
