// The platform layer on Windows: the ANSI functions of the Win32 kernel and
// the console input device.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/key_sequence.h"
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

}  // namespace

// A Windows file handle never takes a standard handle's place.
void OpenStandardStreams() {}

int InitializeLocale() {
  // The character set, and the decimal separator that a size may use
  // besides the point.
  std::setlocale(LC_CTYPE, ".OCP");
  std::setlocale(LC_NUMERIC, ".OCP");
  return static_cast<int>(GetACP());
}

unsigned PathLimit() { return MAX_PATH; }
NamingRules Naming() { return NamingRules::Windows; }

std::string ArgumentToPathText(const char* argument) { return argument; }
ConventionalRequest ConventionalRequestOf(int, const char* const*) {
  return ConventionalRequest::None;
}

namespace {

// Wide text in the ANSI code page, false when a character has no exact
// counterpart there (Windows would put a best-fit namesake in its place).
bool AnsiHolds(const wchar_t* wide) {
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                                  &lossy);
  return bytes > 0 && !lossy;
}

std::string Utf8Of(UINT codePage, const char* text) {
  int wide = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (wide <= 0) return text;
  std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(codePage, 0, text, -1, unicode.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, unicode.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, unicode.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes) - 1);
  return utf8;
}

// A console shows wide characters in any code page; text bound for one is
// kept as UTF-8 until it is written. Files and pipes get the bytes as they are.
bool OutputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace

bool CurrentFolderIsPathText() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return true;
  std::wstring current(size, L'\0');
  if (GetCurrentDirectoryW(size, current.data()) == 0) return true;
  if (!AnsiHolds(current.c_str())) return false;
  // The arguments too: a folder or file name given with a character the
  // ANSI code page lacks reaches the program as another name.
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return true;
  bool holds = true;
  for (int i = 1; i < count && holds; ++i) holds = AnsiHolds(arguments[i]);
  LocalFree(arguments);
  return holds;
}

std::string DisplayPath(const char* path) {
  return OutputIsConsole() ? Utf8Of(CP_ACP, path) : std::string(path);
}

bool PathTextToBatchText(const std::string& name, std::string* cp932) {
  const UINT ansi = GetACP();
  if (ansi == 932 || name.empty()) {
    *cp932 = name;
    return true;
  }
  int wide = MultiByteToWideChar(ansi, MB_ERR_INVALID_CHARS, name.data(),
                                 static_cast<int>(name.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(ansi, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                      unicode.data(), wide);
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, unicode.data(), wide, nullptr, 0,
                                  nullptr, &lossy);
  if (bytes <= 0 || lossy) return false;
  cp932->assign(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, unicode.data(), wide, cp932->data(), bytes,
                      nullptr, &lossy);
  return !lossy;
}

std::string MessageForConsole(const char* cp932Text) {
  return OutputIsConsole() ? Utf8Of(932, cp932Text) : std::string(cp932Text);
}

void ConsoleWrite(const std::string& bytes) {
  // A console gets wide characters, which it shows whatever its code page
  // (the C runtime would drop double-byte text there under Wine); a file
  // or pipe keeps the bytes and the runtime's line ends.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (OutputIsConsole()) {
    std::fflush(stdout);
    int wide = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                   nullptr, 0);
    if (wide <= 0) return;
    std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), unicode.data(),
                        wide);
    DWORD done = 0;
    WriteConsoleW(out, unicode.data(), static_cast<DWORD>(wide), &done, nullptr);
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

// The console's conventions have no second line for a failure.
void ReportFailure(const char*, const char*) {}

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
  std::memcpy(entry->storedName, data.cFileName, sizeof data.cFileName);
  entry->storedName[MAX_PATH - 1] = '\0';
  return true;
}

namespace {

// The volume and index that identify a file whatever name it is reached by.
bool IdentityByPath(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
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
  return IdentityByPath(a, &infoA) && IdentityByPath(b, &infoB) &&
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

namespace {

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

FileId Refuse(HANDLE file) {
  CloseHandle(file);
  return InvalidFile;
}

// A disk file, not a pipe, a device or a folder.
bool IsPlainFile(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, info) &&
         (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HANDLE OpenForWriting(const char* path, DWORD disposition) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// A link at the name (a reparse point) is deleted and a new file made in its
// place, unless it leads to a file `files` holds; a plain file is emptied
// only once it is open alone and known not to be one of them.
FileId OpenReplacing(const char* path, OpenedFiles* files) {
  DWORD attributes = GetFileAttributesA(path);
  BY_HANDLE_FILE_INFORMATION info;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (files != nullptr && IdentityByPath(path, &info) && files->Holds(IdentityOf(info))) {
      return InvalidFile;
    }
    if (!DeleteFileA(path)) return InvalidFile;
    HANDLE file = OpenForWriting(path, CREATE_NEW);
    return reinterpret_cast<FileId>(file);
  }
  // Never OPEN_ALWAYS: a link that Wine hides (one pointing nowhere) would
  // be followed and its target created.
  HANDLE file = OpenForWriting(path, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    return reinterpret_cast<FileId>(OpenForWriting(path, CREATE_NEW));
  }
  if (file == INVALID_HANDLE_VALUE) return InvalidFile;
  if (!IsPlainFile(file, &info)) return Refuse(file);
  if (files != nullptr && files->Holds(IdentityOf(info))) return Refuse(file);
  if (!SetEndOfFile(file)) return Refuse(file);  // the position is 0 after the open
  if (files != nullptr) files->Add(IdentityOf(info));
  return reinterpret_cast<FileId>(file);
}

}  // namespace

FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files) {
  if (mode == OpenMode::CreateNew) return reinterpret_cast<FileId>(OpenForWriting(path, CREATE_NEW));
  if (mode == OpenMode::Replace) return OpenReplacing(path, files);
  const bool read = mode == OpenMode::Read;
  HANDLE file = CreateFileA(path, read ? GENERIC_READ : 0,
                            read ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || !read) return reinterpret_cast<FileId>(file);
  BY_HANDLE_FILE_INFORMATION info;
  if (!IsPlainFile(file, &info)) return Refuse(file);
  if (files != nullptr) files->Add(IdentityOf(info));
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

namespace {

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
