// Every operating-system service the program uses, in the program's own
// words. One implementation per platform (posix/, win32/, a file per
// concern) and an in-memory fake for tests, chosen per target by the build;
// program logic never tests the platform itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "text/code_page.h"

namespace platform {

// Sets the runtime locale (".OCP" on Windows, the user's locale on POSIX)
// and answers the code page of path text.
int InitializeLocale();

// The language of the messages: Japanese on Windows; on POSIX the first of
// LC_ALL, LC_MESSAGES and LANG that is set and not empty decides (ja... is
// Japanese, whether installed or not; anything else, C included, English).
enum class Language { Japanese, English };
Language MessageLanguage();

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

// What a call that failed leaves, for the one line that reports it: the
// system's error code (0 where the program refused on its own: a FIFO, a
// file of the run) and, where the caller names no file, the native name.
struct Failure {
  int code = 0;
  std::string name;
  // A library's own words, where no system code gives the cause.
  std::string detail;
};

// The failure of a name under which nothing is there: the system's code
// for a file not found.
Failure NotFound();
// The failure of a name where a folder is and a file was wanted.
Failure IsAFolder();
// The failure of memory that cannot be had, and the test for it.
Failure MemoryShort();
bool IsMemoryShort(const Failure& failure);

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
// A last element as the user reads it: a name, never read as a path (on
// POSIX c:x is a name, not a drive).
std::string DisplayElement(const char* element, Screen screen = Screen::Output);

// Path text as code page 932, the batch files' encoding on every platform.
// False when code page 932 cannot hold it exactly.
bool PathTextToBatchText(const std::string& name, std::string* cp932);

// Path text as UTF-8, the encoding of names in a checksum file on every
// platform: from the ANSI code page on Windows, from the locale's character
// set on POSIX. False when UTF-8 cannot hold it exactly, or it holds bytes
// that are not text of that code page.
bool PathTextToUtf8(const std::string& pathText, std::string* utf8);

// A fixed message (code page 932 bytes) in the console's encoding.
std::string MessageForConsole(const char* cp932Text, Screen screen = Screen::Output);

// Opens, before any file, what the run's conversions need: of messages into
// the console's encoding, and with `batchNames` of names into code page
// 932. False, with the platform's report of it, when they cannot be had.
bool PrepareConversions(bool batchNames);

// Writes bytes to standard output; they are visible when this returns.
void ConsoleWrite(const std::string& bytes);

// Writes a fixed message (one of the texts) and a line break, and on POSIX
// its failure line, without taking any memory: for when it has run out.
void WriteWithoutMemory(const char* cp932Text);

// Whether a failure message is followed by a line of its own on standard
// error: on POSIX, yes; the Windows console's conventions have none.
bool ReportsFailures();
// The system's text for a failure's code, in the console's encoding.
std::string SystemReason(int code);
// Writes one failure line to standard error, after what standard output
// holds: on a terminal its control bytes show as ?, its line break kept.
void ErrorWrite(const std::string& line);

// --- Paths and directory entries ----------------------------------------

// While one lives, the current folder is read once and every full path
// is made from that reading, where the platform would read it for each
// (POSIX getcwd). The program never changes its folder: the answers are
// the same, and a folder renamed during the run cannot give two. One per
// run, made by the entry.
class CurrentFolderReading {
 public:
  CurrentFolderReading();
  ~CurrentFolderReading();
  CurrentFolderReading(const CurrentFolderReading&) = delete;
  CurrentFolderReading& operator=(const CurrentFolderReading&) = delete;
};

// The rules of GetFullPathNameA: the length written (without the zero
// byte) when the full path fits `outSize`, else the size needed including
// the zero byte, or 0 on failure.
unsigned FullPathName(const char* path, char* out, unsigned outSize);

struct DirEntry {
  bool isFolder = false;
  // A FIFO, socket or device (through a link too): never a file to transfer.
  bool isSpecial = false;
  // The name is a symbolic link (POSIX) or a reparse point (Windows) itself.
  bool isLink = false;
  // A link that points nowhere: reported as an empty file, but no file is
  // there to read.
  bool isDangling = false;
  std::uint64_t size = 0;
  char storedName[text::PathCapacity] = {};  // the name as the file system stores it
};

// Looks up the one entry a path names (no wildcards reach here). A link at
// the name is an entry of its own, reported as what it points to, or as an
// empty file when it points nowhere.
bool LookupEntry(const char* path, DirEntry* entry, Failure* failure = nullptr);

// Whether two paths name one existing file, a link under another name too.
bool SameFile(const char* a, const char* b);

bool MakeFolder(const char* path, Failure* failure = nullptr);

// Whether the volume of a root path is ready, with no critical-error box.
bool VolumeReady(const char* path, Failure* failure = nullptr);

// --- Folders ---------------------------------------------------------------

// The folder that holds a file, resolved once: the many files of one run
// that lie in it are found from it rather than from the root each time, and
// stay in the folder resolved at the start even if a folder on its path is
// renamed or replaced meanwhile. Where the platform keeps no such handle, or
// it could not be made, paths are resolved whole, with the same results.
class Folder {
 public:
  // The folder of `filePath` (path text): all but its last element, so a
  // folder's own path text ending in a backslash names that folder.
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

// Looks up the entry `element` names in the folder, as LookupEntry does;
// the element is a name, never read as a path.
bool LookupEntry(const Folder& folder, const char* element, DirEntry* entry,
                 Failure* failure = nullptr);

// Removes the directory entry of a regular file or a link in the folder,
// one the run wrote (read-only too); anything else (a folder) is refused.
bool RemoveFile(const Folder& folder, const char* element, Failure* failure = nullptr);

// Gives the file `from` in the folder the name `to` there, replacing a file
// or a link of that name (never a folder) in one step: no moment without
// one of the two.
bool RenameFile(const Folder& folder, const char* from, const char* to, Failure* failure = nullptr);

// Removing an older file only when no other program holds it: a regular
// file is first taken with the lock a writer takes (POSIX: an exclusive
// flock; Windows: opened for delete with no sharing); a link is removed
// without it; a file that cannot be opened for the lock is removed as
// RemoveFile would.
enum class Removal {
  Removed,
  Gone,    // nothing was there by then: as good as removed
  InUse,   // another program holds it; left as it was
  Failed,  // `failure` says why (a folder: EISDIR / access denied)
};
Removal RemoveUnlessInUse(const Folder& folder, const char* element, Failure* failure = nullptr);

// Free space the caller may use on the folder's volume (POSIX: f_bavail *
// f_frsize of fstatvfs; Windows: GetDiskFreeSpaceExA's caller figure).
// False where it cannot be told.
bool FreeSpace(const Folder& folder, std::uint64_t* bytes);

// Whether two names of entries in one folder name the same entry, as the
// file system compares them: Windows ignores case as it does (on the wide
// names, so full-width, Greek and Cyrillic letters too); POSIX compares
// the bytes. A second byte of a double-byte character is never a letter.
bool SameElement(const std::string& a, const std::string& b);

// Calls `each` with the name of every entry the folder lists that may be
// a file: `plain` for a plain file (not a link, not a special file), false
// for one a lookup by name must judge (a link, an entry of unknown type).
// Folders and special files are left out. False when the folder could not
// be listed; `each` may have been called for some names then.
bool ListFiles(const Folder& folder, const std::function<void(const char* name, bool plain)>& each);

// --- File contents -------------------------------------------------------

using FileId = std::intptr_t;
constexpr FileId InvalidFile = -1;

enum class OpenMode {
  Read,       // an existing regular file; others may read it, not write it
  Probe,      // an existing file, no transfer
  CreateNew,  // a file that does not exist yet; refused when one does
  Replace,    // creates or empties a regular file; a link at the name is
              // replaced itself, never written through
  Overwrite,  // as Replace, but the bytes of a file that was there may stay
              // until they are written over or cut off (FileTruncate): no
              // page freed only to be taken again
  Temporary,  // as CreateNew, and readable by its owner only (POSIX 0600);
              // on Windows shared for delete, so that an interrupt can
              // remove it while it is open (GuardTemporary)
  Hold,       // an existing regular file that a new one will replace, not
              // through a link: locked as a writer locks (the exclusive
              // flock; share mode 0) and never changed. Its identity goes
              // into `files`; a link or anything else at the name is refused
              // with code 0
};

// The volume and index that name one file whatever name reaches it.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `element` names in the folder, through a link
// too; false where there is none. `soleName`, where given, tells whether
// the name is a plain file itself (no link) that no other name shares as a
// hard link: then no other plain file is that file. False where unsure.
bool IdentityOf(const Folder& folder, const char* element, FileIdentity* identity,
                bool* soleName = nullptr);

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
// open file's own, whatever its name names by now; for Overwrite, how many
// bytes the file still holds.
FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files = nullptr,
                std::uint64_t* size = nullptr, Failure* failure = nullptr);
// The same for the file `element` names in the folder: only the element is
// resolved, from the folder; it is a name, never read as a path.
FileId FileOpen(const Folder& folder, const char* element, OpenMode mode,
                OpenedFiles* files = nullptr, std::uint64_t* size = nullptr,
                Failure* failure = nullptr);
void FileClose(FileId file);
// One transfer each; the count moved, short on failure.
std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count, Failure* failure = nullptr);
std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count,
                        Failure* failure = nullptr);
// Moves up to `count` bytes from one file's position to the other's inside
// the kernel (sharing extents where the file system can). The count moved;
// 0 where the platform has no such copy. A short count names no culprit:
// the caller moves the rest itself.
std::uint32_t FileCopy(FileId from, FileId to, std::uint32_t count);
// Cuts a file open to write to `size` bytes.
bool FileTruncate(FileId file, std::uint64_t size, Failure* failure = nullptr);
// Moves a file's position `count` bytes back, to read them again.
bool FileSeekBack(FileId file, std::uint32_t count, Failure* failure = nullptr);

// Whether a new file can take the place of the one open as `file` without
// losing anything but its contents: false where it has other hard links,
// or (POSIX) an ACL or extended attributes, or where it cannot be told.
bool ReplaceableByNewFile(FileId file);
// Gives the file open as `to` what the file open as `from` is allowed:
// POSIX its permission bits, and its owner and group where the process may
// set them (a refusal there is no failure); Windows its attributes.
bool CopyAccess(FileId from, FileId to, Failure* failure = nullptr);
// Gives a file made with OpenMode::Temporary the access any new file gets
// (POSIX: 0666 less the umask); nothing to do on Windows.
bool UsualAccess(FileId file, Failure* failure = nullptr);

}  // namespace platform

// Each concern in a header of its own, all of them through this one.
#include "platform/hash.h"       // IWYU pragma: export
#include "platform/keyboard.h"   // IWYU pragma: export
#include "platform/temporary.h"  // IWYU pragma: export
#include "platform/worker.h"     // IWYU pragma: export
