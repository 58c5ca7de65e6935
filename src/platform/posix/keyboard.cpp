// The keyboard on POSIX: /dev/tty in single-key mode while a question
// waits, and the signals that must not end a run as they would: while a
// question waits or a temporary file is guarded, an interrupt gives the
// terminal back as it was and removes the temporary file before the run
// ends by it.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/common/key_sequence.h"
#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace platform {

using namespace posix;

namespace {

// --- What an interrupt must undo -------------------------------------------
// Kept where a signal handler can reach it. The terminal as it was found,
// while a question waits:
volatile std::sig_atomic_t g_terminal = -1;
struct termios g_savedTerminal;
struct termios g_rawTerminal;
// The guarded temporary file: the name, from the folder's descriptor (or
// AT_FDCWD). An atomic, not only for the handler: the hashing thread may be
// the one that takes the signal.
constexpr int NoGuard = -1;
std::atomic<int> g_guardFrom{NoGuard};
static_assert(std::atomic<int>::is_always_lock_free);
char g_guardName[PATH_MAX];
struct sigaction g_previousFileSizeAction;

// SIGPIPE too: the prompt may go to a pipe whose reader has gone.
constexpr int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGCONT};
constexpr std::size_t HandledSignalCount = sizeof HandledSignals / sizeof HandledSignals[0];
struct sigaction g_previousActions[HandledSignalCount];

extern "C" void UndoAndReraise(int signalNumber) {
  if (g_terminal >= 0) tcsetattr(g_terminal, TCSANOW, &g_savedTerminal);
  const int from = g_guardFrom.load();
  if (from != NoGuard) unlinkat(from, g_guardName, 0);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  sigset_t own;
  sigemptyset(&own);
  sigaddset(&own, signalNumber);
  sigprocmask(SIG_UNBLOCK, &own, nullptr);  // the run ends here
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

// Whether a question waits or a file is guarded: then the handlers are in.
bool HandlersWanted() { return g_terminal >= 0 || g_guardFrom.load() != NoGuard; }

void CatchSignals() {
  for (std::size_t i = 0; i < HandledSignalCount; ++i) {
    const int number = HandledSignals[i];
    sigaction(number, nullptr, &g_previousActions[i]);
    // One the caller ignores (nohup, a background job) stays ignored.
    if (g_previousActions[i].sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = number == SIGTSTP   ? StopWithTerminalRestored
                        : number == SIGCONT ? ResumeSingleKeys
                                            : UndoAndReraise;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
  }
}

void ReleaseSignals() {
  for (std::size_t i = 0; i < HandledSignalCount; ++i) {
    sigaction(HandledSignals[i], &g_previousActions[i], nullptr);
  }
}

// The handled signals wait while what their handler reads changes.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int number : HandledSignals) sigaddset(&held, number);
    pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t before_;
};

void EndGuard() {
  if (g_guardFrom.load() == NoGuard) return;
  g_guardFrom.store(NoGuard);
  sigaction(SIGXFSZ, &g_previousFileSizeAction, nullptr);
  if (!HandlersWanted()) ReleaseSignals();
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
  return RetryOnInterrupt([&] { return read(fd, byte, 1); }) == 1;
}

bool ByteWithin(int fd, int milliseconds) {
  struct pollfd pfd = {fd, POLLIN, 0};
  return poll(&pfd, 1, milliseconds) > 0 && (pfd.revents & POLLIN) != 0;
}

}  // namespace

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
  InterruptsHeld held;
  g_savedTerminal = saved;
  g_rawTerminal = raw;
  if (!HandlersWanted()) CatchSignals();
  g_terminal = fd;
  tcsetattr(fd, TCSANOW, &raw);
  device_ = fd;
  // A terminal on standard output counts as this one: telling a second
  // terminal apart is not worth it.
  if (isatty(STDOUT_FILENO) != 1) screen_ = fd;
}

Keyboard::~Keyboard() {
  if (device_ == InvalidFile) return;
  InterruptsHeld held;
  tcsetattr(static_cast<int>(device_), TCSANOW, &g_savedTerminal);
  g_terminal = -1;
  if (!HandlersWanted()) ReleaseSignals();
  close(static_cast<int>(device_));
}

void Keyboard::Show(const std::string& text) {
  if (screen_ != InvalidFile) WriteAll(static_cast<int>(screen_), text.data(), text.size());
}

bool Keyboard::KeyAvailable() {
  // The question must be out before its answer is waited for.
  std::fflush(stdout);
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
  std::fflush(stdout);
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

void GuardTemporary(const Folder& folder, const char* element) {
  const ElementAt name(folder, element);
  if (!name.Named() || std::strlen(name.Relative()) >= sizeof g_guardName) return;
  InterruptsHeld held;
  const bool wanted = HandlersWanted();
  const bool guarded = g_guardFrom.exchange(NoGuard) != NoGuard;
  std::snprintf(g_guardName, sizeof g_guardName, "%s", name.Relative());
  g_guardFrom.store(name.at);
  if (!guarded) {
    // A write past the size limit fails instead of ending the run there.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &g_previousFileSizeAction);
  }
  if (!wanted) CatchSignals();
}

void UnguardTemporary() {
  InterruptsHeld held;
  EndGuard();
}

bool CommitTemporary(const Folder& folder, const char* from, const char* to, bool replace,
                     Failure* failure) {
  InterruptsHeld held;
  if (!RenameInFolder(folder, from, to, replace, failure)) return false;
  EndGuard();
  return true;
}

}  // namespace platform
