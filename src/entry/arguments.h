// Reading the command line: the options, the size, the paths, and the
// checks of what they give.
#pragma once

namespace app {

// Whether `argument` is `lowerCaseWord` in any case of its ASCII letters.
bool MatchesLowerCaseWord(const char* argument, const char* lowerCaseWord);

}  // namespace app
