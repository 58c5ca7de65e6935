// The one way text reaches the console. Formats are code page 932 texts
// whose %s stand for paths; the text is put into the console's encoding and
// the paths into the form the user reads on this platform.
#pragma once

namespace platform {
class Keyboard;
}

namespace app {

void Print(const char* format, const char* first = nullptr, const char* second = nullptr);

// A question's text (or the line that leads to it, or its echo): on
// standard output, and where the keys are read when that is elsewhere, so
// that the one who answers sees what is asked.
void PrintQuestion(platform::Keyboard& keyboard, const char* format, const char* first = nullptr,
                   const char* second = nullptr);

// A fixed message followed by a line break.
void PrintLine(const char* message);

// A failure message, with or without a %s for `subject`, the file it
// concerns (may be null), and the platform's report of the failure.
void PrintFailure(const char* message, const char* subject = nullptr);

}  // namespace app
