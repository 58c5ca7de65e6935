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

void AppendMessage(const std::string& segment, std::string* out) {
  *out += IsAscii(segment) ? segment : platform::MessageForConsole(segment.c_str());
}

}  // namespace

Subject::Subject(const char* pathText)
    : given_(pathText != nullptr),
      shown_(pathText != nullptr ? platform::DisplayPath(pathText) : std::string()) {}

void Print(const char* format, const Subject& first, const Subject& second) {
  const Subject* arguments[] = {&first, &second};
  int next = 0;
  std::string out;
  const char* segment = format;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      AppendMessage(std::string(segment, p), &out);
      const Subject* argument = next < 2 ? arguments[next++] : nullptr;
      if (argument != nullptr) out += argument->Text();
      segment = ++p + 1;
    }
  }
  AppendMessage(segment, &out);
  platform::ConsoleWrite(out);
}

void PrintFailure(const char* message, const Subject& subject, const platform::Failure& failure) {
  if (std::strstr(message, "%s") != nullptr) {
    Print(message, subject);
  } else {
    PrintLine(message);
  }
  platform::ReportFailure(subject.Given() ? subject.Text().c_str() : nullptr, message, failure);
}

void PrintLine(const char* message) {
  std::string out;
  AppendMessage(message, &out);
  out += '\n';
  platform::ConsoleWrite(out);
}

}  // namespace app
