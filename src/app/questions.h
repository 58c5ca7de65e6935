// The two single-key questions: the destination-folder question of the
// entry and the overwrite question of the piece operations.
#pragma once

#include <initializer_list>

#include "app/output.h"
#include "platform/platform.h"

namespace app {

enum OverwriteAnswer { AnswerYes = 1, AnswerAll = 2, AnswerStop = 3 };

struct KeyAnswer {
  int letter;  // index into the answer letters; -1 when there is no console
  int code;    // the key code as read
};

// Waits for a key that folds to one of `letters` ("yn", "yas"); others are
// dropped without echo. With no console it answers at once with -1.
KeyAnswer WaitForKey(const char* letters);
// The same on a keyboard already taken, so that a question can take it
// before its prompt shows: a key typed then is read, not echoed.
KeyAnswer WaitForKey(platform::Keyboard& keyboard, const char* letters);

// Echoes the answering key as typed and ends the question's line, where
// the question was shown.
void EchoAnswer(platform::Keyboard& keyboard, const KeyAnswer& answer);

enum class YesNo { Yes, No, NoConsole };
// One line of a question: a message and the name it shows.
struct QuestionLine {
  const char* format;
  Subject subject = {};
};
// Shows `lines` as one question, waits for Y or N and echoes it; at once
// NoConsole where nobody can answer.
YesNo AskYesNo(std::initializer_list<QuestionLine> lines);

// Asks before the file `element` (a name, not a path) is replaced.
OverwriteAnswer AskOverwrite(const char* element);

}  // namespace app
