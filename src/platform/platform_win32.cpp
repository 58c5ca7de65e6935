// The platform layer on Windows: the ANSI functions of the Win32 kernel and
// the console input device.
#include <windows.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

// Scan codes that the console reports for F1 ... F10, and the codes that
// the console convention gives them with Shift, Ctrl and Alt.
constexpr int FunctionBase = 59;
constexpr int ShiftFunctionBase = 84;
constexpr int CtrlFunctionBase = 94;
constexpr int AltFunctionBase = 104;

// A key-down event as the console convention's codes: a character, or a
// prefix (0 or 224) and the key's own code. False for events without one.
bool TranslateKey(const KEY_EVENT_RECORD& key, int* first, int* second) {
  if (!key.bKeyDown) return false;
  *second = -1;
  unsigned char character = static_cast<unsigned char>(key.uChar.AsciiChar);
  if (character != 0) {
    *first = character;
    return true;
  }
  const DWORD state = key.dwControlKeyState;
  const bool shift = (state & SHIFT_PRESSED) != 0;
  const bool ctrl = (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
  const bool alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
  const WORD vk = key.wVirtualKeyCode;
  if (vk >= VK_F1 && vk <= VK_F10) {
    int base = alt ? AltFunctionBase : ctrl ? CtrlFunctionBase : shift ? ShiftFunctionBase
                                                                      : FunctionBase;
    *first = 0;
    *second = base + (vk - VK_F1);
    return true;
  }
  if (vk == VK_F11 || vk == VK_F12) {
    int offset = alt ? 6 : ctrl ? 4 : shift ? 2 : 0;
    *first = 224;
    *second = (vk == VK_F11 ? 133 : 134) + offset;
    return true;
  }
  if ((vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE) {
    *first = (state & ENHANCED_KEY) != 0 ? 224 : 0;
    *second = key.wVirtualScanCode;
    return true;
  }
  return false;
}

}  // namespace

// A Windows file handle never takes a standard handle's place.
void OpenStandardStreams() {}

int InitializeLocale() {
  // The character set only: "/1.5" keeps its decimal point in every locale.
  std::setlocale(LC_CTYPE, ".OCP");
  return static_cast<int>(GetACP());
}

std::string ArgumentToPathText(const char* argument) { return argument; }
ConventionalRequest ConventionalRequestOf(int, const char* const*) {
  return ConventionalRequest::None;
}

std::string DisplayPath(const char* path) { return path; }

std::string MessageForConsole(const char* cp932Text) {
  // On a console of another code page the text is converted; the bytes
  // stay code page 932 everywhere else, a redirected output included.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  UINT target = GetConsoleOutputCP();
  if (!GetConsoleMode(out, &mode) || target == 0 || target == 932) return cp932Text;
  int wide = MultiByteToWideChar(932, 0, cp932Text, -1, nullptr, 0);
  if (wide <= 0) return cp932Text;
  std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(932, 0, cp932Text, -1, unicode.data(), wide);
  int bytes = WideCharToMultiByte(target, 0, unicode.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return cp932Text;
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(target, 0, unicode.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(bytes) - 1);
  return converted;
}

void ConsoleWrite(const std::string& bytes) {
  // Wine's C runtime drops double-byte text written to a console in text
  // mode, so a console gets the bytes directly; a file or pipe keeps the
  // runtime's line ends.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    std::fflush(stdout);
    DWORD done = 0;
    WriteConsoleA(out, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

unsigned FullPathName(const char* path, char* out, unsigned outSize) {
  return GetFullPathNameA(path, outSize, out, nullptr);
}

bool LookupEntry(const char* path, DirEntry* entry) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  entry->isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  std::memcpy(entry->storedName, data.cFileName, sizeof entry->storedName);
  entry->storedName[MAX_PATH - 1] = '\0';
  return true;
}

namespace {

// The volume and index that identify a file whatever name it is reached by.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL known = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return known != 0;
}

}  // namespace

bool SameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION infoA;
  BY_HANDLE_FILE_INFORMATION infoB;
  return FileIdentity(a, &infoA) && FileIdentity(b, &infoB) &&
         infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
         infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool MakeFolder(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

bool VolumeReady(const char* path) {
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
  ULARGE_INTEGER freeToCaller;
  ULARGE_INTEGER total;
  BOOL ok = GetDiskFreeSpaceExA(path, &freeToCaller, &total, nullptr);
  SetErrorMode(previous);
  return ok != 0;
}

FileId FileOpen(const char* path, char mode) {
  DWORD access = 0;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if (mode == 'w') {
    access = GENERIC_WRITE;
    share = 0;
    disposition = CREATE_ALWAYS;
  } else if (mode == 'r') {
    access = GENERIC_READ;
    share = FILE_SHARE_READ;
  }
  HANDLE file = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  return reinterpret_cast<FileId>(file);
}

void FileClose(FileId file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count) {
  DWORD done = 0;
  ::ReadFile(reinterpret_cast<HANDLE>(file), buffer, count, &done, nullptr);
  return done;
}

std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count) {
  DWORD done = 0;
  ::WriteFile(reinterpret_cast<HANDLE>(file), buffer, count, &done, nullptr);
  return done;
}

std::uint32_t FileCopy(FileId, FileId, std::uint32_t) { return 0; }

void* HeapAllocZeroed(std::size_t size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void* HeapResize(void* block, std::size_t size, bool mayMove) {
  DWORD flags = HEAP_ZERO_MEMORY | (mayMove ? 0 : HEAP_REALLOC_IN_PLACE_ONLY);
  return HeapReAlloc(GetProcessHeap(), flags, block, size);
}

void HeapRelease(void* block) { HeapFree(GetProcessHeap(), 0, block); }

Keyboard::Keyboard() {
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
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
}

Keyboard::~Keyboard() {
  if (device_ == InvalidFile) return;
  HANDLE input = reinterpret_cast<HANDLE>(device_);
  SetConsoleMode(input, static_cast<DWORD>(savedMode_));
  CloseHandle(input);
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

}  // namespace platform
