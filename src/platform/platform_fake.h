// The platform layer for tests: an in-memory file system of drives, shares,
// folders and files, a scripted keyboard, captured console output, and knobs for
// what this machine cannot make (shares, a drive without a medium, a lookup
// that answers with the stored name, a call that fails).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

struct Entry {
  bool isFolder = false;
  std::string storedName;
  std::string data;
  std::uint64_t reportedSize = UINT64_MAX;  // a size without the bytes
  // Zero bytes ahead of `data`: a file of gigabytes held in little memory.
  // A write of 64 KiB or more of zeros to a file with no data yet adds to them.
  std::uint64_t zeros = 0;
  std::uint64_t id = 0;          // the file's identity
  bool special = false;          // a FIFO, socket or device
  bool link = false;             // a symbolic link to the file it holds
  bool dangling = false;         // a link that points nowhere: no data to read
  bool heldByOther = false;      // another program holds it locked
  bool extraAttributes = false;  // an ACL or extended attributes
  int mode = 0644;               // permission bits
};

// The kinds of platform call that fault injection counts.
enum CallKind {
  CallOpen,
  CallLock,
  CallLookup,
  CallRead,
  CallWrite,
  CallAlloc,
  CallMakeFolder,
  CallConvert,  // a name into the batch files' code page, or into UTF-8
  CallFolder,   // a folder resolved once for the files in it
  CallList,     // a folder's list of files
  CallRemove,   // a file removed from a folder
  CallHash,     // a hash made, fed or finished
  CallRename,   // a file renamed within a folder
  CallThread,   // a second thread started
  CallSpace,    // a volume's free space asked
};

// The code a failed call of `kind` leaves (Windows' codes, as the fake's
// are); 0 for a kind whose failure has no code.
constexpr int InjectedCode(CallKind kind) {
  switch (kind) {
    case CallOpen:
      return 5;  // ERROR_ACCESS_DENIED
    case CallLock:
      return 33;  // ERROR_LOCK_VIOLATION
    case CallLookup:
      return 21;  // ERROR_NOT_READY
    case CallRead:
      return 23;  // ERROR_CRC
    case CallWrite:
      return 112;  // ERROR_DISK_FULL
    case CallMakeFolder:
      return 82;  // ERROR_CANNOT_MAKE
    case CallRemove:
      return 32;  // ERROR_SHARING_VIOLATION
    case CallRename:
      return 1224;  // ERROR_USER_MAPPED_FILE
    default:
      return 0;
  }
}

struct System {
  std::string currentDir = "C:\\work";
  // The platform's path limit and naming rules: Windows' unless a test
  // asks for a POSIX system's.
  unsigned pathLimit = 260;
  bool posixNames = false;
  std::set<char> readyDrives = {'C', 'D'};  // letters with a medium
  std::set<std::string> shares;             // "\\SRV\SHARE", upper case
  std::map<std::string, Entry> entries;     // by upper-case full path

  std::deque<int> keys;  // the keyboard's script
  bool consolePresent = true;
  bool englishMessages = false;  // Japanese, as on Windows, unless a test asks
  int sleeps = 0;

  std::string output;            // everything written to the console
  std::string errors;            // the failure lines, "divro: name: reason" each
  bool hashMemoryShort = false;  // a failed hash call is memory short, not the library's
  // Standard output goes elsewhere than the keyboard's console, which then
  // shows the questions too: `keyboardScreen` is what it shows.
  bool outputElsewhere = false;
  std::string keyboardScreen;

  // Another program's file that appears under this name just before it is
  // opened for writing: what a check cannot see coming.
  std::string appearsBeforeCreate;

  // Fault injection: the call numbered failAtCall (from 1) among the
  // counted calls fails. 0: nothing fails.
  long failAtCall = 0;
  // A crash: at the counted call numbered crashAtCall the run is killed.
  // `crashed` keeps the entries as the call found them; that call and every
  // later one fail, so nothing the run does afterwards counts.
  long crashAtCall = 0;
  bool crashedYet = false;
  std::map<std::string, Entry> crashed;
  // Folders (upper-case keys) where no file can be created, though their
  // files may be written.
  std::set<std::string> noCreateFolders;
  std::uint64_t freeSpace = UINT64_MAX;
  // The file an interrupt would remove (GuardTemporary), by key.
  std::string guarded;
  long calls = 0;
  std::vector<CallKind> callLog;
  // A write that would take the written total beyond this comes up short.
  std::uint64_t writeRoom = UINT64_MAX;
  // Bytes an in-kernel copy moves before it stops short; 0: no such copy.
  std::uint32_t kernelCopyLimit = 0;
  std::uint64_t kernelCopied = 0;

  int liveBlocks = 0;
  int openFiles = 0;
  int lookups = 0;
  int volumeQueries = 0;
  std::vector<std::string> madeFolders;
};

System& State();
// Back to a fresh system: C:\work exists, drives C: and D: ready.
void Reset();

// After a crash: the files as the crash left them, all else fresh, as a
// later run finds them.
void AfterCrash();

std::string Key(const std::string& path);  // upper-case full path
void AddFolder(const std::string& path);
void AddFile(const std::string& path, const std::string& data);
bool Exists(const std::string& path);
std::string Data(const std::string& path);
std::uint64_t Size(const std::string& path);
std::uint64_t Size(const Entry& entry);

}  // namespace fake
