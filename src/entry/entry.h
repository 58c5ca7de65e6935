// The program's entry and its command-line front end.
#pragma once

#include <functional>

#include "app/run_options.h"
#include "pieces/piece_names.h"

namespace app {

// The whole run: locale, options, checks, destination folder, one
// operation. Answers the exit status, 0 or -1.
int RunProgram(int argc, const char* const* argv);

// Fills `options` from the arguments as typed (each is read as path text),
// the mode too; false for a wrong count or a path too long.
bool ParseArguments(int argc, const char* const* argv, RunOptions* options);
bool CheckArguments(const RunOptions& options);
bool PrepareDestFolder(const RunOptions& options);
void PrintUsage();
// `destinationReady` makes the batch files' folder, asked once, after the
// pieces' own checks.
bool WriteBatchFiles(const RunOptions& options, pieces::RunFiles& files, RunState& state,
                     const std::function<bool()>& destinationReady);

}  // namespace app
