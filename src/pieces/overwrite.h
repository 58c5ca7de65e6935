#pragma once

namespace pieces {

// Before a file is created: when one of that name exists (a file or a
// folder) and overwriteAll is not set, asks the user. The answer A sets
// overwriteAll for the rest of the run. False when the user stops.
bool MayOverwrite(const char* name);

}  // namespace pieces
