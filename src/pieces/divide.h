#pragma once

#include <functional>

#include "app/run_options.h"
#include "pieces/piece_names.h"

namespace pieces {

enum class DivideResult {
  Divided,  // every piece written and piece 1 named; an older set's
            // pieces gone, or kept by the answer N
  Failed,
  NotStarted,  // the destination was not made ready; it said why
};

// Whether the full form of every name a division will write (its pieces
// and the batch files asked for) fits a path: every set divro writes, it
// must also be able to join.
bool DivisionNamesFit(const app::RunOptions& options, const PieceSetName& set);

// Cuts the source into pieces of options.pieceSize bytes, removes what
// an older division of the same name left above them, then writes the
// batch files that /C and /S ask for.
// Questions go through `state`.
// `destinationReady`, where given, runs once the checks that need no
// destination folder have passed: a false from it ends the division as
// NotStarted, nothing said.
DivideResult DivideFile(const app::RunOptions& options, app::RunState& state,
                        const std::function<bool()>& destinationReady = nullptr);
// The same with the run's files worked out already.
DivideResult DivideFile(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                        const std::function<bool()>& destinationReady = nullptr);

}  // namespace pieces
