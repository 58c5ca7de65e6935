// The keyboard on Windows: CONIN$ through the console input functions, key
// events turned into the console convention's codes; and the console's
// Ctrl handler that removes the run's temporary file.
#include "platform/win32/win32.h"

#include <cstring>
#include <string>

#include "platform/common/key_sequence.h"
#include "platform/platform.h"

namespace platform {

namespace {

// A key-down event as the console convention's codes. False for events
// without one.
bool TranslateKey(const KEY_EVENT_RECORD& key, int* first, int* second) {
  if (!key.bKeyDown) return false;
  const DWORD state = key.dwControlKeyState;
  ConsoleKeyEvent event;
  event.virtualKey = key.wVirtualKeyCode;
  event.character = static_cast<unsigned char>(key.uChar.AsciiChar);
  event.shift = (state & SHIFT_PRESSED) != 0;
  event.ctrl = (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
  event.alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
  event.enhanced = (state & ENHANCED_KEY) != 0;
  int codes[2] = {-1, -1};
  if (ConsoleEventCodes(event, codes) == 0) return false;
  *first = codes[0];
  *second = codes[1];
  return true;
}

// Wine's console takes its keys from the Unix standard input: with that
// redirected no key can ever come (Windows reads the keyboard whatever
// standard input is), so a question must not wait there.
bool KeysCannotCome() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) return false;
  DWORD mode = 0;
  return !GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode);
}

}  // namespace

Keyboard::Keyboard() {
  if (KeysCannotCome()) return;
  HANDLE input =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) {
    CloseHandle(input);
    return;
  }
  savedMode_ = mode;
  // No line editing and no echo while the question waits; Ctrl-C still
  // ends the program.
  SetConsoleMode(input, ENABLE_PROCESSED_INPUT);
  device_ = reinterpret_cast<FileId>(input);
  if (win32::OutputIsConsole()) return;
  // Standard output goes to a file or pipe: the question is shown on the
  // console the keys come from as well.
  HANDLE screen =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE) return;
  if (!GetConsoleMode(screen, &mode)) {
    CloseHandle(screen);
    return;
  }
  screen_ = reinterpret_cast<FileId>(screen);
}

Keyboard::~Keyboard() {
  if (screen_ != InvalidFile) CloseHandle(reinterpret_cast<HANDLE>(screen_));
  if (device_ == InvalidFile) return;
  HANDLE input = reinterpret_cast<HANDLE>(device_);
  SetConsoleMode(input, static_cast<DWORD>(savedMode_));
  CloseHandle(input);
}

void Keyboard::Show(const std::string& text) {
  if (screen_ != InvalidFile) win32::WriteToConsole(reinterpret_cast<HANDLE>(screen_), text);
}

bool Keyboard::KeyAvailable() {
  if (device_ == InvalidFile) return false;
  if (pendingCode_ >= 0) return true;
  HANDLE input = reinterpret_cast<HANDLE>(device_);
  for (;;) {
    INPUT_RECORD record;
    DWORD count = 0;
    if (!PeekConsoleInputA(input, &record, 1, &count) || count == 0) return false;
    int first = 0;
    int second = 0;
    if (record.EventType == KEY_EVENT && TranslateKey(record.Event.KeyEvent, &first, &second)) {
      return true;
    }
    // Releases, mouse and focus events and keys without a code go.
    ReadConsoleInputA(input, &record, 1, &count);
  }
}

int Keyboard::ReadKey() {
  if (pendingCode_ >= 0) {
    int code = pendingCode_;
    pendingCode_ = -1;
    return code;
  }
  if (device_ == InvalidFile) return -1;
  HANDLE input = reinterpret_cast<HANDLE>(device_);
  for (;;) {
    INPUT_RECORD record;
    DWORD count = 0;
    if (!ReadConsoleInputA(input, &record, 1, &count) || count == 0) return -1;
    int first = 0;
    int second = -1;
    if (record.EventType == KEY_EVENT && TranslateKey(record.Event.KeyEvent, &first, &second)) {
      pendingCode_ = second;
      return first;
    }
  }
}

void Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

namespace {

// The guarded file's full path, empty when there is none. The handler runs
// on a thread of its own; the lock keeps it out while the path changes and
// while the file is renamed, so it never removes a file that has its name.
SRWLOCK guardLock = SRWLOCK_INIT;
char guardedPath[text::PathCapacity];

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  AcquireSRWLockExclusive(&guardLock);
  if (guardedPath[0] == '\0') {
    ReleaseSRWLockExclusive(&guardLock);
    return FALSE;  // the default: the run ends
  }
  // DeleteFileA refuses a read-only file, and the file may have been given
  // the old output's attributes already.
  SetFileAttributesA(guardedPath, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(guardedPath);
  // Still holding the lock: no rename comes before the process is gone.
  ExitProcess(static_cast<UINT>(-1));
}

}  // namespace

void GuardTemporary(const Folder& folder, const char* element) {
  static bool installed = false;
  const std::string path = folder.NativePrefix() + element;
  char full[text::PathCapacity];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  const char* chosen = length > 0 && length < sizeof full ? full : path.c_str();
  AcquireSRWLockExclusive(&guardLock);
  // A name cut short might be another file's: then none is guarded.
  if (std::strlen(chosen) < sizeof guardedPath) {
    std::strcpy(guardedPath, chosen);
  } else {
    guardedPath[0] = '\0';
  }
  ReleaseSRWLockExclusive(&guardLock);
  if (!installed) installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

void UnguardTemporary() {
  AcquireSRWLockExclusive(&guardLock);
  guardedPath[0] = '\0';
  ReleaseSRWLockExclusive(&guardLock);
}

bool CommitTemporary(const Folder& folder, const char* from, const char* to, bool replace,
                     Failure* failure) {
  AcquireSRWLockExclusive(&guardLock);
  const bool renamed = replace ? RenameFile(folder, from, to, failure)
                               : win32::MoveInFolder(folder, from, to, 0, failure);
  if (renamed) guardedPath[0] = '\0';
  ReleaseSRWLockExclusive(&guardLock);
  return renamed;
}

}  // namespace platform
