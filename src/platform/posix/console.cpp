// Console output on POSIX, and the character sets: the locale's, the
// messages' (code page 932) and the batch files' (code page 932 too).
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace platform {

namespace {

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

}  // namespace

namespace posix {

void NoteFailure(const std::string& native) { g_failedCall = {errno, native}; }

void ShowControlBytesAsQuestionMarks(std::string* text, bool keepLineBreaks) {
  for (char& c : *text) {
    if (((c > 0 && c < 0x20) && !(keepLineBreaks && c == '\n')) || c == 0x7f) c = '?';
  }
}

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = RetryOnInterrupt([&] { return write(fd, data, size); });
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace posix

using namespace posix;

int InitializeLocale() {
  // The character set, and the decimal separator that a size may use
  // besides the point.
  if (std::setlocale(LC_CTYPE, "") == nullptr) std::setlocale(LC_CTYPE, "C");
  if (std::setlocale(LC_NUMERIC, "") == nullptr) std::setlocale(LC_NUMERIC, "C");
  // The system's texts for errors, in the user's language.
  std::setlocale(LC_MESSAGES, "");
  return CodePageOfCharset(nl_langinfo(CODESET));
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

// The terminal of the keys is the one standard output would reach.
std::string MessageForConsole(const char* cp932Text, Screen) {
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
  WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
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
  if (isatty(STDERR_FILENO) == 1) ShowControlBytesAsQuestionMarks(&line, true);
  WriteAll(STDERR_FILENO, line.data(), line.size());
}

}  // namespace platform
