// The one way text reaches the console. Formats are code page 932 texts
// whose %s stand for names; the text is put into the console's encoding and
// the names into the form the user reads on this platform.
#pragma once

#include <string>

#include "path/place.h"

namespace app {

// A name a message shows: path text, or a name composed in a folder.
class Subject {
 public:
  Subject() = default;
  Subject(const char* pathText);  // NOLINT: path text is the usual subject
  Subject(const path::Shown& shown) : given_(true), shown_(shown.text) {}  // NOLINT

  bool Given() const { return given_; }
  const std::string& Text() const { return shown_; }

 private:
  bool given_ = false;
  std::string shown_;
};

void Print(const char* format, const Subject& first = {}, const Subject& second = {});

// A fixed message followed by a line break.
void PrintLine(const char* message);

// A failure message, with or without a %s for `subject`, the file it
// concerns (may be none), and the platform's report of the failure: the
// system's reason where `failure` holds one, else the message.
void PrintFailure(const char* message, const Subject& subject = {},
                  const platform::Failure& failure = {});

}  // namespace app
