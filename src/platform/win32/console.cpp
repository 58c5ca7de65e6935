// Console output on Windows, and the code pages: the ANSI one of names,
// code page 932 of the messages and batch files, wide text on a console.
#include "platform/win32/win32.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace win32 {

// Wide text in the ANSI code page, false when a character has no exact
// counterpart there (Windows would put a best-fit namesake in its place).
bool AnsiHolds(const wchar_t* wide) {
  BOOL lossy = FALSE;
  int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &lossy);
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

}  // namespace win32

using namespace win32;

// The program of this platform speaks Japanese only.
Language MessageLanguage() { return Language::Japanese; }

int InitializeLocale() {
  // The character set, and the decimal separator that a size may use
  // besides the point.
  std::setlocale(LC_CTYPE, ".OCP");
  std::setlocale(LC_NUMERIC, ".OCP");
  return static_cast<int>(GetACP());
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

bool PathTextToUtf8(const std::string& pathText, std::string* utf8) {
  if (pathText.empty()) {
    utf8->clear();
    return true;
  }
  const int size = static_cast<int>(pathText.size());
  int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pathText.data(), size, nullptr, 0);
  if (wide <= 0) return false;
  std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pathText.data(), size, unicode.data(),
                          wide) != wide)
    return false;
  int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, unicode.data(), wide, nullptr, 0,
                                  nullptr, nullptr);
  if (bytes <= 0) return false;
  utf8->assign(static_cast<std::size_t>(bytes), '\0');
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, unicode.data(), wide, utf8->data(),
                             bytes, nullptr, nullptr) == bytes;
}

std::string MessageForConsole(const char* cp932Text, Screen screen) {
  const bool console = screen == Screen::Keys || OutputIsConsole();
  return console ? Utf8Of(932, cp932Text) : std::string(cp932Text);
}

void win32::WriteToConsole(HANDLE console, const std::string& utf8) {
  int wide =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (wide <= 0) return;
  std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), unicode.data(), wide);
  DWORD done = 0;
  WriteConsoleW(console, unicode.data(), static_cast<DWORD>(wide), &done, nullptr);
}

// The system converts without opening anything.
bool PrepareConversions(bool) { return true; }

void ConsoleWrite(const std::string& bytes) {
  // A console gets wide characters, which it shows whatever its code page
  // (the C runtime would drop double-byte text there under Wine); a file
  // or pipe keeps the bytes and the runtime's line ends.
  if (OutputIsConsole()) {
    std::fflush(stdout);
    WriteToConsole(GetStdHandle(STD_OUTPUT_HANDLE), bytes);
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void WriteWithoutMemory(const char* cp932Text) {
  std::fflush(stdout);
  DWORD written = 0;
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  WriteFile(output, cp932Text, static_cast<DWORD>(std::strlen(cp932Text)), &written, nullptr);
  WriteFile(output, "\r\n", 2, &written, nullptr);
}

// The console's conventions have no second line for a failure.
Failure NotFound() { return {ERROR_FILE_NOT_FOUND, {}, {}}; }
Failure IsAFolder() { return {ERROR_DIRECTORY, {}, {}}; }
Failure MemoryShort() { return {ERROR_NOT_ENOUGH_MEMORY, {}, {}}; }
bool IsMemoryShort(const Failure& failure) {
  return failure.code == ERROR_NOT_ENOUGH_MEMORY || failure.code == ERROR_OUTOFMEMORY;
}

bool ReportsFailures() { return false; }
std::string SystemReason(int) { return std::string(); }
void ErrorWrite(const std::string&) {}

}  // namespace platform
