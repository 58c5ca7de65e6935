// The one way text reaches the console. Formats are code page 932 texts
// whose %s stand for names; the text is put into the run's language, then
// into the console's encoding, and the names into the form the user reads
// on this platform.
#pragma once

#include <string>

#include "path/place.h"
#include "platform/platform.h"

namespace app {

// A name a message shows: path text, or a name composed in a folder,
// whose element is never read as a path.
class Subject {
 public:
  Subject() = default;
  Subject(const char* pathText)  // NOLINT: path text is the usual subject
      : given_(pathText != nullptr), path_(pathText != nullptr ? pathText : "") {}
  Subject(const path::Shown& name)  // NOLINT
      : given_(true), composed_(true), path_(name.folder), element_(name.element) {}

  bool Given() const { return given_; }
  // As the user reads it on `screen`.
  std::string Text(platform::Screen screen = platform::Screen::Output) const;

 private:
  bool given_ = false;
  bool composed_ = false;
  std::string path_;  // the path text, or the folder as given
  std::string element_;
};

void Print(const char* format, const Subject& first = {}, const Subject& second = {},
           const Subject& third = {});

// A question's text (or the line that leads to it, or its echo): on
// standard output, and where the keys are read when that is elsewhere, so
// that the one who answers sees what is asked.
void PrintQuestion(platform::Keyboard& keyboard, const char* format, const Subject& first = {},
                   const Subject& second = {});

// A fixed message followed by a line break.
void PrintLine(const char* message);

// A failure message, with or without a %s for `subject`, the file it
// concerns (may be none), and the platform's report of the failure: the
// system's reason where `failure` holds one, else `reason` (an English-only
// text) in an English run, else the message.
// `second` is the message's second name, where it has one.
void PrintFailure(const char* message, const Subject& subject = {},
                  const platform::Failure& failure = {}, const char* reason = nullptr,
                  const Subject& second = {});

// The failure's line on standard error alone, as PrintFailure ends it:
// "divro: NAME: REASON", with the system's text for `failure`'s code where
// it has one, else its library's words, else `reason`. NAME is the
// subject's as the user reads it, else the native name the failure holds.
void ReportFailure(const Subject& subject, const std::string& reason,
                   const platform::Failure& failure = {});

// PrintFailure, then false: how an operation gives up.
inline bool Fail(const char* message, const Subject& subject = {},
                 const platform::Failure& failure = {}) {
  PrintFailure(message, subject, failure);
  return false;
}

// The reason a failure's report gives where no system error applies: the
// message without `subject`, which the report names first; `second` is the
// message's second name, where it has one, and `third` its third.
std::string FailureReason(const char* message, const Subject& subject = {},
                          const char* reason = nullptr, const Subject& second = {},
                          const Subject& third = {});

}  // namespace app
