#include "app/output.h"

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "text/texts.h"

namespace app {

namespace {

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

void AppendMessage(const std::string& segment, platform::Screen screen, std::string* out) {
  *out += IsAscii(segment) ? segment : platform::MessageForConsole(segment.c_str(), screen);
}

// The text in the run's language: an English run shows the English of a
// text that has one (ASCII, so no conversion), else the text as it is.
const char* InRunLanguage(const char* text) {
  if (platform::MessageLanguage() != platform::Language::English) return text;
  const char* english = text::EnglishForm(text);
  return english != nullptr ? english : text;
}

std::string Format(const char* text, const Subject& first, const Subject& second,
                   platform::Screen screen, const Subject& third = {}) {
  const char* format = InRunLanguage(text);
  const Subject* arguments[] = {&first, &second, &third};
  int next = 0;
  std::string out;
  const char* segment = format;
  for (const char* p = format; *p != '\0'; ++p) {
    // %s takes the next argument; %2$s the second, where a language puts
    // the arguments in another order.
    const bool numbered = p[0] == '%' && p[1] >= '1' && p[1] <= '3' && p[2] == '$' && p[3] == 's';
    if (numbered || (p[0] == '%' && p[1] == 's')) {
      AppendMessage(std::string(segment, p), screen, &out);
      const int index = numbered ? p[1] - '1' : next++;
      if (index < 3) out += arguments[index]->Text(screen);
      p += numbered ? 3 : 1;
      segment = p + 1;
    }
  }
  AppendMessage(segment, screen, &out);
  return out;
}

}  // namespace

std::string Subject::Text(platform::Screen screen) const {
  if (!composed_) return platform::DisplayPath(path_.c_str(), screen);
  return platform::DisplayPath(path_.c_str(), screen) +
         platform::DisplayElement(element_.c_str(), screen);
}

void Print(const char* format, const Subject& first, const Subject& second, const Subject& third) {
  platform::ConsoleWrite(Format(format, first, second, platform::Screen::Output, third));
}

void PrintQuestion(platform::Keyboard& keyboard, const char* format, const Subject& first,
                   const Subject& second) {
  Print(format, first, second);
  if (keyboard.ShowsQuestions()) {
    keyboard.Show(Format(format, first, second, platform::Screen::Keys));
  }
}

void PrintFailure(const char* message, const Subject& subject, const platform::Failure& failure,
                  const char* reason, const Subject& second) {
  if (std::strstr(message, "%s") != nullptr) {
    Print(message, subject, second);
  } else {
    PrintLine(message);
  }
  ReportFailure(subject, FailureReason(message, subject, reason, second), failure);
}

void ReportFailure(const Subject& subject, const std::string& reason,
                   const platform::Failure& failure) {
  if (!platform::ReportsFailures()) return;
  std::string name = subject.Given() ? subject.Text() : std::string();
  if (name.empty()) name = failure.name;
  const std::string why = failure.code != 0         ? platform::SystemReason(failure.code)
                          : !failure.detail.empty() ? failure.detail
                                                    : reason;
  platform::ErrorWrite("divro: " + (name.empty() ? std::string() : name + ": ") + why + "\n");
}

std::string FailureReason(const char* message, const Subject& subject, const char* reason,
                          const Subject& second, const Subject& third) {
  const bool english = platform::MessageLanguage() == platform::Language::English;
  if (english && reason != nullptr) return reason;
  // The message itself without its line break, and without the name that
  // leads the line already; in English as a system's reason reads: lower
  // case, no full stop.
  const bool nameLeads =
      subject.Given() && message != text::TemporaryCreateFailed && message != text::StaleKept;
  std::string out =
      Format(message, nameLeads ? Subject("") : subject, second, platform::Screen::Output, third);
  const std::size_t name = nameLeads ? out.find("''") : std::string::npos;
  if (name != std::string::npos) {
    std::size_t begin = name, end = name + 2;
    if (begin > 0 && out[begin - 1] == ' ') --begin;
    // Japanese joins the word before and the particle after without a blank.
    if (!english && end < out.size() && out[end] == ' ') ++end;
    out.erase(begin, end - begin);
  }
  while (!out.empty() && (out.back() == '\n' || (english && out.back() == '.'))) out.pop_back();
  if (english && out.size() > 1 && out[0] >= 'A' && out[0] <= 'Z' &&
      !(out[1] >= 'A' && out[1] <= 'Z')) {
    out[0] = static_cast<char>(out[0] - 'A' + 'a');
  }
  return out;
}

void PrintLine(const char* message) {
  std::string out;
  AppendMessage(InRunLanguage(message), platform::Screen::Output, &out);
  out += '\n';
  platform::ConsoleWrite(out);
}

}  // namespace app
