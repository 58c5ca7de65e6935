// The program's entry and its command-line front end.
#pragma once

namespace app {

// The whole run: locale, options, checks, destination folder, one
// operation. Answers the exit status, 0 or -1.
int RunProgram(int argc, const char* const* argv);

bool ParseArguments(int argc, const char* const* argv);
bool CheckArguments();
bool PrepareDestFolder();
void PrintUsage();
bool WriteBatchFiles();

}  // namespace app
