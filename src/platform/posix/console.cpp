// Console output on POSIX, and the character sets: the locale's, the
// messages' (code page 932) and the batch files' (code page 932 too).
#include <iconv.h>
#include <langinfo.h>
#include <libintl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix.h"
#include "text/texts.h"

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

bool IsUtf8(const std::string& charset) {
  std::string name;
  for (char c : charset) {
    if (c != '-' && c != '_') name += static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c);
  }
  return name == "UTF8";
}

// One open converter, closed with its owner.
class Converter {
 public:
  Converter() = default;
  ~Converter() { Close(); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Open(const char* from, const char* to) {
    Close();
    converter_ = iconv_open(to, from);
    // Memory short is no name that cannot be converted.
    if (!IsOpen() && errno == ENOMEM) throw std::bad_alloc();
    return IsOpen();
  }
  bool IsOpen() const { return converter_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return converter_; }

 private:
  void Close() {
    if (IsOpen()) iconv_close(converter_);
    converter_ = reinterpret_cast<iconv_t>(-1);
  }
  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);
};

// The converters of the run, opened at its start: opening one loads a
// module and so needs a free descriptor, which a run that holds its files
// open may not have when a message comes.
struct Conversions {
  Converter messages;   // UTF-8 to the locale's, where that is neither
                        // UTF-8 nor code page 932
  Converter toBatch;    // the locale's to code page 932, for batch names
  Converter fromBatch;  // and back, to see that a name comes back the same
};

Conversions& RunConversions() {
  static Conversions conversions;
  return conversions;
}

// Text through an open converter, false where a character has no
// counterpart (nothing is replaced or dropped).
bool ConvertWith(iconv_t converter, const std::string& input, std::string* output) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
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
  if (result != 0) return false;  // failed, or replaced irreversibly
  out.resize(out.size() - outLeft);
  *output = out;
  return true;
}

// The same through the run's converter where it was opened, else through
// one opened for this text.
bool ConvertExactly(const Converter& prepared, const char* from, const char* to,
                    const std::string& input, std::string* output) {
  if (prepared.IsOpen()) return ConvertWith(prepared.Get(), input, output);
  Converter converter;
  return converter.Open(from, to) && ConvertWith(converter.Get(), input, output);
}

bool ConvertExactly(const char* from, const char* to, const std::string& input,
                    std::string* output) {
  return ConvertExactly(Converter(), from, to, input, output);
}

}  // namespace

namespace posix {

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

bool PrepareConversions(bool batchNames) {
  const std::string charset = ConsoleCharset();
  if (CodePageOfCharset(charset.c_str()) == text::CodePageJapanese) return true;
  Conversions& run = RunConversions();
  // English messages are ASCII, which every character set holds.
  bool ready = IsUtf8(charset) || MessageLanguage() == Language::English ||
               run.messages.Open("UTF-8", charset.c_str());
  if (ready && batchNames) {
    ready =
        run.toBatch.Open(charset.c_str(), "CP932") && run.fromBatch.Open("CP932", charset.c_str());
  }
  // Japanese that the character set cannot hold goes out as UTF-8 (under
  // the C locale too); the system's reasons must come so too, not as
  // question marks in the locale's set.
  std::string probe;
  if (ready && MessageLanguage() == Language::Japanese && !IsUtf8(nl_langinfo(CODESET)) &&
      (IsUtf8(charset) || !ConvertExactly(run.messages, "UTF-8", charset.c_str(),
                                          text::Utf8Form(text::NotDivided), &probe))) {
    bind_textdomain_codeset("libc", "UTF-8");
  }
  if (ready) return true;
  const char* codeset = nl_langinfo(CODESET);
  std::string line = std::string("divro: cannot convert messages to ") +
                     (codeset != nullptr ? codeset : "") + "\n";
  WriteAll(STDERR_FILENO, line.data(), line.size());
  return false;
}

bool PathTextToBatchText(const std::string& name, std::string* cp932) {
  const std::string charset = ConsoleCharset();
  if (CodePageOfCharset(charset.c_str()) == text::CodePageJapanese) {
    *cp932 = name;
    return true;
  }
  // Exact both ways: a character that two of the locale's share one code
  // in code page 932 would name another file.
  const Conversions& run = RunConversions();
  std::string back;
  return ConvertExactly(run.toBatch, charset.c_str(), "CP932", name, cp932) &&
         ConvertExactly(run.fromBatch, "CP932", charset.c_str(), *cp932, &back) && back == name;
}

bool PathTextToUtf8(const std::string& pathText, std::string* utf8) {
  // Exact both ways, and for UTF-8 itself a check that the bytes are UTF-8.
  const std::string charset = ConsoleCharset();
  std::string back;
  return ConvertExactly(charset.c_str(), "UTF-8", pathText, utf8) &&
         ConvertExactly("UTF-8", charset.c_str(), *utf8, &back) && back == pathText;
}

// The terminal of the keys is the one standard output would reach.
std::string MessageForConsole(const char* cp932Text, Screen) {
  std::string charset = ConsoleCharset();
  if (CodePageOfCharset(charset.c_str()) == text::CodePageJapanese) return cp932Text;
  std::string converted;
  const char* utf8 = text::Utf8Form(cp932Text);
  if (utf8 == nullptr) {
    // Not one of the texts: converted from code page 932 as it comes.
    if (ConvertExactly("CP932", charset.c_str(), cp932Text, &converted) ||
        ConvertExactly("CP932", "UTF-8", cp932Text, &converted)) {
      return converted;
    }
    return cp932Text;
  }
  if (IsUtf8(charset)) return utf8;
  // A character set without Japanese (Latin-1, Big5) gets UTF-8, which a
  // terminal more likely shows than code page 932.
  if (ConvertExactly(RunConversions().messages, "UTF-8", charset.c_str(), utf8, &converted)) {
    return converted;
  }
  return utf8;
}

void ConsoleWrite(const std::string& bytes) {
  // A terminal gets every text at once: progress lines end in a carriage
  // return, not a line break. A file or pipe gets them in blocks, a call
  // for many pieces rather than one each; the block goes out before
  // anything is written to standard error, before a key is waited for,
  // and at the end.
  static const bool toTerminal = isatty(STDOUT_FILENO) == 1;
  if (toTerminal) {
    WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

Language MessageLanguage() {
  // LANGUAGE is a list for catalogues the program does not have: not read.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] == '\0') continue;
    return std::strncmp(value, "ja", 2) == 0 ? Language::Japanese : Language::English;
  }
  return Language::English;
}

Failure NotFound() { return {ENOENT, {}, {}}; }
Failure IsAFolder() { return {EISDIR, {}, {}}; }
Failure MemoryShort() { return {ENOMEM, {}, {}}; }
bool IsMemoryShort(const Failure& failure) { return failure.code == ENOMEM; }

void WriteWithoutMemory(const char* cp932Text) {
  // The forms the texts keep: English, code page 932 for a Shift_JIS
  // console, else UTF-8, which a character set without Japanese gets too.
  const char* english = text::EnglishForm(cp932Text);
  const char* utf8 = text::Utf8Form(cp932Text);
  const char* shown = MessageLanguage() == Language::English && english != nullptr    ? english
                      : text::CodePage() == text::CodePageJapanese || utf8 == nullptr ? cp932Text
                                                                                      : utf8;
  std::fflush(stdout);
  WriteAll(STDOUT_FILENO, shown, std::strlen(shown));
  WriteAll(STDOUT_FILENO, "\n", 1);
  static constexpr char Line[] = "divro: not enough memory\n";
  WriteAll(STDERR_FILENO, Line, sizeof Line - 1);
}

bool ReportsFailures() { return true; }

std::string SystemReason(int code) { return std::strerror(code); }

void ErrorWrite(const std::string& bytes) {
  std::string line = bytes;
  if (isatty(STDERR_FILENO) == 1) ShowControlBytesAsQuestionMarks(&line, true);
  std::fflush(stdout);
  WriteAll(STDERR_FILENO, line.data(), line.size());
}

}  // namespace platform
