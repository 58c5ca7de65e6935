#pragma once

#include <functional>

#include "app/run_options.h"
#include "pieces/piece_names.h"

namespace pieces {

// Appends pieces 1, 2, ... of the source's base name into the whole file in
// the destination folder or the current directory; questions go through
// `state`.
bool JoinPieces(const app::RunOptions& options, app::RunState& state);

// The same, where `destinationReady` runs once the set is found whole and
// its checksum file read: a false from it ends the join, nothing said, and
// sets `*notStarted`.
bool JoinPiecesWhenReady(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                         const std::function<bool()>& destinationReady, bool* notStarted);

// Checks the set as a join would, and with a checksum file every line of
// it, without writing or asking anything; every problem is named on a line
// of its own, and a closing line says what was found.
bool VerifyPieces(const app::RunOptions& options, RunFiles& files);

}  // namespace pieces
