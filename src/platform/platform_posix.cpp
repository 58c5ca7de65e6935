// The platform layer on POSIX. The whole file system is drive C:, whose root
// is /; path text turns into a native path only here, backslash by
// backslash, so a double-byte character is never split.
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "platform/full_path.h"
#include "platform/key_sequence.h"
#include "platform/platform.h"

namespace platform {

namespace {

bool IsDriveC(const char* path) {
  return (path[0] == 'C' || path[0] == 'c') && path[1] == ':';
}

// Replaces one separator by the other, character by character.
std::string SwapSeparators(const char* text, char from, char to) {
  std::string out(text);
  if (out.find(from) == std::string::npos) return out;  // the usual plain name
  for (std::size_t i = 0; i < out.size(); i += text::CharLength(out.c_str() + i)) {
    if (out[i] == from) out[i] = to;
  }
  return out;
}

bool CurrentDirectory(std::string* current) {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return false;
  *current = "C:" + SwapSeparators(buffer, '/', '\\');
  return true;
}

// True when an element of the path (after a drive) is ".", ".." or empty
// between two separators.
bool HasDotOrEmptyElement(const char* path) {
  const char* p = (path[0] != '\0' && path[1] == ':') ? path + 2 : path;
  const char* element = p;
  for (;; p += text::CharLength(p)) {
    if (*p == '\\' || *p == '\0') {
      std::size_t n = static_cast<std::size_t>(p - element);
      bool dots = (n == 1 && element[0] == '.') || (n == 2 && element[0] == '.' && element[1] == '.');
      bool empty = n == 0 && *p == '\\' && element != path && element != path + 2;
      if (dots || empty) return true;
      if (*p == '\0') return false;
      element = p + 1;
    }
  }
}

// Path text to a native path, by way of its full form as Windows would
// make it: . and .. go before the file system is asked, as they do there.
// UNC paths and drives other than C: name nothing here.
bool NativePath(const char* path, std::string* native) {
  // Without . and .. elements or doubled separators the text maps straight
  // onto a native path; only the others need their full form.
  if (!(path[0] == '\\' && path[1] == '\\') && !HasDotOrEmptyElement(path)) {
    const char* rest = path;
    if (path[0] != '\0' && path[1] == ':') {
      if (!IsDriveC(path)) return false;
      rest = path + 2;
    }
    *native = rest[0] == '\0' ? std::string(".") : SwapSeparators(rest, '\\', '/');
    return true;
  }
  char full[text::PathCapacity];
  unsigned length = FullPathName(path, full, platform::PathLimit());
  if (length == 0 || length >= platform::PathLimit() || !IsDriveC(full)) return false;
  *native = SwapSeparators(full + 2, '\\', '/');
  return true;
}

bool EndsWithSeparator(const char* path) {
  const char* last = text::LastChar(path);
  return last != nullptr && *last == '\\';
}

// The last element of path text, as the stored name of a lookup.
std::string LastElement(const char* path) {
  const char* element = path;
  if (path[0] != '\0' && path[1] == ':') element = path + 2;
  for (const char* p = element; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '\\') element = p + 1;
  }
  return element;
}

int CodePageOfCharset(const char* charset) {
  std::string name;
  for (const char* p = charset; *p != '\0'; ++p) {
    name += static_cast<char>((*p >= 'a' && *p <= 'z') ? *p - 32 : *p);
  }
  if (name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "SJIS" || name == "CP932" ||
      name == "WINDOWS-31J" || name == "MS_KANJI")
    return text::CodePageJapanese;
  if (name == "GBK" || name == "GB18030" || name == "CP936") return text::CodePageSimplifiedChinese;
  if (name == "BIG5" || name == "BIG5-HKSCS" || name == "CP950")
    return text::CodePageTraditionalChinese;
  if (name == "EUC-KR" || name == "UHC" || name == "CP949") return text::CodePageKorean;
  return text::CodePageSingleByte;
}

// The console's character set: the locale's, or UTF-8 under C/POSIX.
std::string ConsoleCharset() {
  const char* charset = nl_langinfo(CODESET);
  if (charset == nullptr || std::strcmp(charset, "ANSI_X3.4-1968") == 0 ||
      std::strcmp(charset, "US-ASCII") == 0 || charset[0] == '\0')
    return "UTF-8";
  return charset;
}

// Text from one character set to another, false where a character has no
// counterpart (nothing is replaced or dropped).
bool ConvertExactly(const char* from, const char* to, const std::string& input,
                    std::string* output) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = input;
  std::string out(in.size() * 4 + 16, '\0');
  char* inNext = in.data();
  std::size_t inLeft = in.size();
  char* outNext = out.data();
  std::size_t outLeft = out.size();
  std::size_t result = iconv(converter, &inNext, &inLeft, &outNext, &outLeft);
  if (result != static_cast<std::size_t>(-1)) {
    result = iconv(converter, nullptr, nullptr, &outNext, &outLeft);  // a shift state's end
  }
  iconv_close(converter);
  if (result != 0) return false;  // failed, or replaced irreversibly
  out.resize(out.size() - outLeft);
  *output = out;
  return true;
}

// The last system call that failed since the last report: its error and
// the file it was about.
struct FailedCall {
  int error = 0;
  std::string native;
};
FailedCall g_failedCall;
// The native paths of open files, to name the file a read or write failed on.
std::map<int, std::string> g_openNames;

void NoteFailure(const std::string& native) {
  g_failedCall = {errno, native};
}

// --- Terminal state while a question waits ---------------------------------
// Kept where a signal handler can reach it, to give the terminal back as it
// was found when the run is interrupted or stopped.
int g_terminal = -1;
struct termios g_savedTerminal;
struct termios g_rawTerminal;
// SIGPIPE too: the prompt may go to a pipe whose reader has gone.
constexpr int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGCONT};
constexpr std::size_t HandledSignalCount = sizeof HandledSignals / sizeof HandledSignals[0];
struct sigaction g_previousActions[HandledSignalCount];

extern "C" void RestoreTerminalAndReraise(int signalNumber) {
  if (g_terminal >= 0) tcsetattr(g_terminal, TCSANOW, &g_savedTerminal);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// Ctrl-Z: the shell gets its terminal back while we are stopped; SIGCONT
// puts single-key reading back when we go on.
extern "C" void StopWithTerminalRestored(int signalNumber) {
  const int savedErrno = errno;
  if (g_terminal >= 0) tcsetattr(g_terminal, TCSANOW, &g_savedTerminal);
  struct sigaction action = {};
  sigaction(signalNumber, nullptr, &action);
  signal(signalNumber, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signalNumber);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(signalNumber);  // stopped here until continued
  sigaction(signalNumber, &action, nullptr);
  // Also where no stop came: the kernel drops it for an orphaned group.
  if (g_terminal >= 0) tcsetattr(g_terminal, TCSANOW, &g_rawTerminal);
  errno = savedErrno;
}

extern "C" void ResumeSingleKeys(int) {
  const int savedErrno = errno;
  if (g_terminal >= 0) tcsetattr(g_terminal, TCSANOW, &g_rawTerminal);
  errno = savedErrno;
}

void CatchSignals() {
  for (std::size_t i = 0; i < HandledSignalCount; ++i) {
    const int number = HandledSignals[i];
    sigaction(number, nullptr, &g_previousActions[i]);
    // One the caller ignores (nohup, a background job) stays ignored.
    if (g_previousActions[i].sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = number == SIGTSTP   ? StopWithTerminalRestored
                        : number == SIGCONT ? ResumeSingleKeys
                                            : RestoreTerminalAndReraise;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
  }
}

void ReleaseSignals() {
  for (std::size_t i = 0; i < HandledSignalCount; ++i) {
    sigaction(HandledSignals[i], &g_previousActions[i], nullptr);
  }
}

// The terminal's bytes, decoded for the questions of the whole run: what a
// question read ahead stays for the next one.
KeyDecoder g_keys;
// A begun sequence is finished by bytes that come together; one still
// unfinished after this long was a key of its own (Esc, or Alt+O).
constexpr int EscapeWaitMilliseconds = 100;
constexpr int IdlePollsBeforeFlush = 2;  // the questions poll every 50 ms
int g_idlePolls = 0;

bool ReadByte(int fd, unsigned char* byte) {
  for (;;) {
    ssize_t n = read(fd, byte, 1);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

bool ByteWithin(int fd, int milliseconds) {
  struct pollfd pfd = {fd, POLLIN, 0};
  return poll(&pfd, 1, milliseconds) > 0 && (pfd.revents & POLLIN) != 0;
}

struct BlockHeader {
  std::size_t capacity;
  std::size_t size;
  std::size_t padding[2];  // keeps the block 16-byte aligned
};

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

int OpenRetrying(const std::string& native, int flags) {
  int fd;
  do {
    fd = open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

FileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// The share modes of a Windows handle, as locks on the open file: a writer
// holds its file alone, readers share theirs. Between two descriptors of
// this process too, so a run never empties what it is reading.
bool Lock(int fd, bool exclusive) {
  int result;
  do {
    result = flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

FileId Refuse(int fd) {
  close(fd);
  return InvalidFile;
}

// Non-blocking, so that a FIFO is seen and refused rather than waited on.
constexpr int CommonFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

FileId OpenNew(const std::string& native) {
  int fd = OpenRetrying(native, CommonFlags | O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
  if (fd < 0) return InvalidFile;
  return Lock(fd, true) ? fd : Refuse(fd);
}

bool IsLink(const std::string& native) {
  struct stat info;
  return lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A link at the name is replaced by a new file, unless it leads to a file
// that `files` holds; an existing regular file is emptied once it is locked
// and known not to be one of them. Anything else is refused.
FileId OpenReplacing(const std::string& native, OpenedFiles* files) {
  int fd = OpenRetrying(native, CommonFlags | O_WRONLY | O_CREAT | O_NOFOLLOW);
  if (fd < 0) {
    if (!IsLink(native)) return InvalidFile;
    struct stat target;
    if (files != nullptr && stat(native.c_str(), &target) == 0 && files->Holds(IdentityOf(target))) {
      return InvalidFile;
    }
    if (unlink(native.c_str()) != 0) return InvalidFile;
    return OpenNew(native);
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return Refuse(fd);
  if (files != nullptr && files->Holds(IdentityOf(info))) return Refuse(fd);
  if (!Lock(fd, true)) return Refuse(fd);
  if (info.st_size != 0) {
    int result;
    do {
      result = ftruncate(fd, 0);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return Refuse(fd);
  }
  if (files != nullptr) files->Add(IdentityOf(info));
  return fd;
}

FileId OpenExisting(const std::string& native, OpenMode mode, OpenedFiles* files) {
  int flags = CommonFlags | O_RDONLY;
#ifdef O_PATH
  if (mode == OpenMode::Probe) flags = O_CLOEXEC | O_PATH;
#endif
  int fd = OpenRetrying(native, flags);
  if (fd < 0) return InvalidFile;
  struct stat info;
  if (fstat(fd, &info) != 0) return Refuse(fd);
  if (mode == OpenMode::Probe) return S_ISDIR(info.st_mode) ? Refuse(fd) : fd;
  if (!S_ISREG(info.st_mode) || !Lock(fd, false)) return Refuse(fd);
  if (files != nullptr) files->Add(IdentityOf(info));
  return fd;
}

}  // namespace

void OpenStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one; the program ends if not.
    int standIn = OpenRetrying("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (standIn != fd) std::_Exit(-1);
  }
}

int InitializeLocale() {
  // The character set, and the decimal separator that a size may use
  // besides the point.
  if (std::setlocale(LC_CTYPE, "") == nullptr) std::setlocale(LC_CTYPE, "C");
  if (std::setlocale(LC_NUMERIC, "") == nullptr) std::setlocale(LC_NUMERIC, "C");
  // The system's texts for errors, in the user's language.
  std::setlocale(LC_MESSAGES, "");
  return CodePageOfCharset(nl_langinfo(CODESET));
}

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
  static const char* const optionWords[] = {"/c", "/s", "/y", "/?", "/f"};
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
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) == nullptr || text::FindChar(buffer, '\\') == nullptr;
}

ConventionalRequest ConventionalRequestOf(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return ConventionalRequest::Help;
    if (std::strcmp(argv[i], "--version") == 0) return ConventionalRequest::Version;
  }
  return ConventionalRequest::None;
}

std::string DisplayPath(const char* path) {
  // C:\x is /x, and C:x (the current folder's) is x.
  const char* shown = IsDriveC(path) ? path + 2 : path;
  std::string display = SwapSeparators(shown, '\\', '/');
  // On a terminal a control byte in a name could move the cursor, retitle
  // the window or wipe the screen: it shows as ?, as ls shows it. Files and
  // pipes get the exact name.
  static const bool toTerminal = isatty(STDOUT_FILENO) == 1;
  if (toTerminal) {
    for (char& c : display) {
      if ((c > 0 && c < 0x20) || c == 0x7f) c = '?';
    }
  }
  return display;
}

bool PathTextToBatchText(const std::string& name, std::string* cp932) {
  const std::string charset = ConsoleCharset();
  if (CodePageOfCharset(charset.c_str()) == text::CodePageJapanese) {
    *cp932 = name;
    return true;
  }
  // Exact both ways: a character that two of the locale's share one code
  // in code page 932 would name another file.
  std::string back;
  return ConvertExactly(charset.c_str(), "CP932", name, cp932) &&
         ConvertExactly("CP932", charset.c_str(), *cp932, &back) && back == name;
}

std::string MessageForConsole(const char* cp932Text) {
  std::string charset = ConsoleCharset();
  if (CodePageOfCharset(charset.c_str()) == text::CodePageJapanese) return cp932Text;
  // A character set without Japanese (Latin-1, Big5) gets UTF-8, which a
  // terminal more likely shows than code page 932.
  std::string converted;
  if (ConvertExactly("CP932", charset.c_str(), cp932Text, &converted) ||
      ConvertExactly("CP932", "UTF-8", cp932Text, &converted)) {
    return converted;
  }
  return cp932Text;
}

void ConsoleWrite(const std::string& bytes) {
  // Straight to the descriptor: every text is wanted on the screen at once
  // (progress lines end in a carriage return, not a line break).
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = write(STDOUT_FILENO, next, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    next += n;
    left -= static_cast<std::size_t>(n);
  }
}

void ReportFailure(const char* path, const char* cp932Message) {
  const FailedCall failed = g_failedCall;
  g_failedCall = {};
  std::string name = path != nullptr && path[0] != '\0' ? DisplayPath(path) : failed.native;
  std::string reason;
  if (failed.error != 0) {
    reason = std::strerror(failed.error);
  } else {
    // The message itself, its %s the name, without its line break.
    std::string message = cp932Message;
    for (std::size_t at; (at = message.find("%s")) != std::string::npos;) {
      reason += MessageForConsole(message.substr(0, at).c_str()) + name;
      message.erase(0, at + 2);
    }
    reason += MessageForConsole(message.c_str());
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
  }
  std::string line = "divro: " + (name.empty() ? std::string() : name + ": ") + reason + "\n";
  if (isatty(STDERR_FILENO) == 1) {
    for (char& c : line) {
      if ((c > 0 && c < 0x20 && c != '\n') || c == 0x7f) c = '?';
    }
  }
  for (std::size_t done = 0; done < line.size();) {
    ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

unsigned FullPathName(const char* path, char* out, unsigned outSize) {
  // A UNC path or one from a drive's root does not depend on where we are.
  const bool absolute = (path[0] == '\\' && path[1] == '\\') ||
                        (path[0] != '\0' && path[1] == ':' && path[2] == '\\');
  std::string current;
  if (!absolute && !CurrentDirectory(&current)) return 0;
  return ComposeFullPath(path, current.c_str(), out, outSize);
}

bool SameFile(const char* a, const char* b) {
  std::string nativeA;
  std::string nativeB;
  struct stat infoA;
  struct stat infoB;
  return NativePath(a, &nativeA) && NativePath(b, &nativeB) &&
         stat(nativeA.c_str(), &infoA) == 0 && stat(nativeB.c_str(), &infoB) == 0 &&
         infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
}

bool LookupEntry(const char* path, DirEntry* entry) {
  std::string native;
  if (EndsWithSeparator(path) || !NativePath(path, &native)) return false;
  std::string name = LastElement(path);
  if (name.empty() || name.size() >= platform::PathLimit()) return false;
  struct stat info;
  if (lstat(native.c_str(), &info) != 0) {
    // Not there is an answer, not a failure; anything else is.
    if (errno != ENOENT && errno != ENOTDIR) NoteFailure(native);
    return false;
  }
  // A link that points nowhere is still a name taken: an empty file.
  if (S_ISLNK(info.st_mode) && stat(native.c_str(), &info) != 0) {
    info.st_mode = S_IFREG;
    info.st_size = 0;
  }
  entry->isFolder = S_ISDIR(info.st_mode);
  entry->isSpecial = !entry->isFolder && !S_ISREG(info.st_mode);
  entry->size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  std::memcpy(entry->storedName, name.c_str(), name.size() + 1);
  return true;
}

bool MakeFolder(const char* path) {
  std::string native;
  if (!NativePath(path, &native)) return false;
  if (mkdir(native.c_str(), 0777) == 0) return true;
  NoteFailure(native);
  return false;
}

bool VolumeReady(const char* path) {
  char full[text::PathCapacity];
  unsigned length = FullPathName(path, full, platform::PathLimit());
  if (length != 3 || !IsDriveC(full) || full[2] != '\\') return false;
  struct statvfs info;
  if (statvfs("/", &info) == 0) return true;
  NoteFailure("/");
  return false;
}

FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files) {
  std::string native;
  if (!NativePath(path, &native)) return InvalidFile;
  // A refusal of our own (a FIFO, a file of the run) leaves errno 0.
  errno = 0;
  FileId file = mode == OpenMode::CreateNew ? OpenNew(native)
                : mode == OpenMode::Replace ? OpenReplacing(native, files)
                                            : OpenExisting(native, mode, files);
  if (file == InvalidFile) {
    if (errno != 0) NoteFailure(native);
  } else {
    g_openNames[static_cast<int>(file)] = native;
  }
  return file;
}

void FileClose(FileId file) {
  g_openNames.erase(static_cast<int>(file));
  close(static_cast<int>(file));
}

std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count) {
  ssize_t n;
  do {
    n = read(static_cast<int>(file), buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) NoteFailure(g_openNames[static_cast<int>(file)]);
  return n < 0 ? 0 : static_cast<std::uint32_t>(n);
}

std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count) {
  // A short write is retried: the call that fails tells why (a full disk).
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t n = write(static_cast<int>(file), static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) NoteFailure(g_openNames[static_cast<int>(file)]);
      break;
    }
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

std::uint32_t FileCopy(FileId from, FileId to, std::uint32_t count) {
#if defined(__linux__) && !defined(DIVRO_NO_KERNEL_COPY)
  // Below this a read and a write cost less than the kernel's copy.
  constexpr std::uint32_t SmallestKernelCopy = 64 * 1024;
  if (count < SmallestKernelCopy) return 0;
  std::uint32_t moved = 0;
  while (moved < count) {
    ssize_t n = copy_file_range(static_cast<int>(from), nullptr, static_cast<int>(to), nullptr,
                                count - moved, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    moved += static_cast<std::uint32_t>(n);
  }
  return moved;
#else
  (void)from;
  (void)to;
  (void)count;
  return 0;
#endif
}

void* HeapAllocZeroed(std::size_t size) {
  void* raw = std::calloc(1, sizeof(BlockHeader) + size);
  if (raw == nullptr) return nullptr;
  BlockHeader* header = static_cast<BlockHeader*>(raw);
  header->capacity = size;
  header->size = size;
  return header + 1;
}

void* HeapResize(void* block, std::size_t size, bool mayMove) {
  BlockHeader* header = HeaderOf(block);
  if (size <= header->capacity) {
    if (size > header->size) {
      std::memset(static_cast<char*>(block) + header->size, 0, size - header->size);
    }
    header->size = size;
    return block;
  }
  if (!mayMove) return nullptr;
  std::size_t oldSize = header->size;
  void* raw = std::realloc(header, sizeof(BlockHeader) + size);
  if (raw == nullptr) return nullptr;
  header = static_cast<BlockHeader*>(raw);
  std::memset(reinterpret_cast<char*>(header + 1) + oldSize, 0, size - oldSize);
  header->capacity = size;
  header->size = size;
  return header + 1;
}

void HeapRelease(void* block) { std::free(HeaderOf(block)); }

Keyboard::Keyboard() {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct termios saved;
  if (tcgetattr(fd, &saved) != 0) {
    close(fd);
    return;
  }
  struct termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  g_savedTerminal = saved;
  g_rawTerminal = raw;
  g_terminal = fd;
  CatchSignals();
  tcsetattr(fd, TCSANOW, &raw);
  device_ = fd;
}

Keyboard::~Keyboard() {
  if (device_ == InvalidFile) return;
  tcsetattr(static_cast<int>(device_), TCSANOW, &g_savedTerminal);
  ReleaseSignals();
  g_terminal = -1;
  close(static_cast<int>(device_));
}

bool Keyboard::KeyAvailable() {
  if (device_ == InvalidFile) return false;
  const int fd = static_cast<int>(device_);
  unsigned char byte = 0;
  while (!g_keys.HasCode() && ByteWithin(fd, 0) && ReadByte(fd, &byte)) {
    g_keys.Feed(byte);
    g_idlePolls = 0;
  }
  if (!g_keys.HasCode() && g_keys.Pending() && ++g_idlePolls >= IdlePollsBeforeFlush) {
    g_keys.Flush();
    g_idlePolls = 0;
  }
  return g_keys.HasCode();
}

int Keyboard::ReadKey() {
  if (device_ == InvalidFile) return -1;
  const int fd = static_cast<int>(device_);
  unsigned char byte = 0;
  while (!g_keys.HasCode()) {
    if (g_keys.Pending() && !ByteWithin(fd, EscapeWaitMilliseconds)) {
      g_keys.Flush();
      continue;
    }
    if (!ReadByte(fd, &byte)) return -1;
    g_keys.Feed(byte);
  }
  return g_keys.NextCode();
}

void Sleep(unsigned milliseconds) {
  struct timespec delay = {static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
