#include "app/questions.h"

#include <cstring>

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

void EchoAnswer(const KeyAnswer& answer) {
  // An answer key is an ASCII letter; with no console the line stays empty.
  const char echo[2] = {answer.letter < 0 ? '\0' : static_cast<char>(answer.code), '\0'};
  PrintLine(echo);
}

OverwriteAnswer AskOverwrite(const char* element) {
  platform::Keyboard keyboard;
  Print(text::AskOverwrite, path::Shown{platform::DisplayElement(element)}, "");
  KeyAnswer answer = WaitForKey(keyboard, "yas");
  EchoAnswer(answer);
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
