#include "app/questions.h"

#include <cstring>
#include <string>

#include "app/output.h"
#include "path/place.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace app {

namespace {

constexpr unsigned PollMilliseconds = 50;

// Only A to Z fold: no other code can become an answer letter.
int Fold(int code) { return (code >= 'A' && code <= 'Z') ? code + ('a' - 'A') : code; }

}  // namespace

YesNo AskYesNo(std::initializer_list<QuestionLine> lines) {
  platform::Keyboard keyboard;
  for (const QuestionLine& line : lines) PrintQuestion(keyboard, line.format, line.subject);
  const KeyAnswer answer = WaitForKey(keyboard, "yn");
  EchoAnswer(keyboard, answer);
  return answer.letter == 0 ? YesNo::Yes : answer.letter == 1 ? YesNo::No : YesNo::NoConsole;
}

KeyAnswer WaitForKey(const char* letters) {
  platform::Keyboard keyboard;
  return WaitForKey(keyboard, letters);
}

KeyAnswer WaitForKey(platform::Keyboard& keyboard, const char* letters) {
  if (!keyboard.Present()) return {-1, 0};
  for (;;) {
    if (keyboard.KeyAvailable()) {
      int code = keyboard.ReadKey();
      if (code < 0) return {-1, 0};  // the console went away
      int folded = Fold(code);
      for (int i = 0; letters[i] != '\0'; ++i) {
        if (folded == letters[i]) return {i, code};
      }
    }
    platform::Sleep(PollMilliseconds);
  }
}

void EchoAnswer(platform::Keyboard& keyboard, const KeyAnswer& answer) {
  // An answer key is an ASCII letter; with no console the line stays empty.
  const std::string echo =
      (answer.letter < 0 ? std::string() : std::string(1, static_cast<char>(answer.code))) + "\n";
  PrintQuestion(keyboard, echo.c_str());
}

OverwriteAnswer AskOverwrite(const char* element) {
  platform::Keyboard keyboard;
  PrintQuestion(keyboard, text::AskOverwrite, path::Shown{"", element}, "");
  KeyAnswer answer = WaitForKey(keyboard, "yas");
  EchoAnswer(keyboard, answer);
  switch (answer.letter) {
    case 0:
      return AnswerYes;
    case 1:
      return AnswerAll;
    default:
      return AnswerStop;
  }
}

}  // namespace app
