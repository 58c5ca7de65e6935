#pragma once

#include "app/run_options.h"

namespace pieces {

// Appends pieces 1, 2, ... of the source's base name into the whole file in
// the destination folder or the current directory; questions go through
// `state`.
bool JoinPieces(const app::RunOptions& options, app::RunState& state);

}  // namespace pieces
