// The one way text reaches the console. Formats are code page 932 texts
// whose %s stand for paths; the text is put into the console's encoding and
// the paths into the form the user reads on this platform.
#pragma once

namespace app {

void Print(const char* format, const char* first = nullptr, const char* second = nullptr);

// A fixed message followed by a line break.
void PrintLine(const char* message);

}  // namespace app
