#include "app/output.h"

#include <cstring>
#include <string>

#include "platform/platform.h"

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

std::string Format(const char* format, const char* first, const char* second,
                   platform::Screen screen) {
  const char* arguments[] = {first, second};
  int next = 0;
  std::string out;
  const char* segment = format;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      AppendMessage(std::string(segment, p), screen, &out);
      const char* argument = next < 2 ? arguments[next++] : nullptr;
      if (argument != nullptr) out += platform::DisplayPath(argument, screen);
      segment = ++p + 1;
    }
  }
  AppendMessage(segment, screen, &out);
  return out;
}

}  // namespace

void Print(const char* format, const char* first, const char* second) {
  platform::ConsoleWrite(Format(format, first, second, platform::Screen::Output));
}

void PrintQuestion(platform::Keyboard& keyboard, const char* format, const char* first,
                   const char* second) {
  Print(format, first, second);
  if (keyboard.ShowsQuestions()) {
    keyboard.Show(Format(format, first, second, platform::Screen::Keys));
  }
}

void PrintFailure(const char* message, const char* subject) {
  if (std::strstr(message, "%s") != nullptr) {
    Print(message, subject);
  } else {
    PrintLine(message);
  }
  platform::ReportFailure(subject, message);
}

void PrintLine(const char* message) {
  std::string out;
  AppendMessage(message, platform::Screen::Output, &out);
  out += '\n';
  platform::ConsoleWrite(out);
}

}  // namespace app
