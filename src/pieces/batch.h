// Join batch files for the command prompt: NAME.cpy.bat joins the pieces
// with COPY /B, NAME.dvr.bat runs this program on the first piece.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/run_options.h"
#include "pieces/batch_text.h"
#include "pieces/piece_names.h"

namespace pieces {

// In batch mode: the pieces there, refused when one lies beyond a gap.
// Questions go through `state`. `destinationReady`, where given, makes the
// batch file's folder once the set has passed its checks: a set that
// cannot have one makes none.
bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state);
bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state);

// The same with the run's files worked out already. After a division its
// count and size stand (0: the pieces there are counted); otherwise
// `destinationReady`, where given, runs before the batch file is written.
bool WriteCopyBatch(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                    int divisionCount = 0, std::uint64_t wholeSize = 0,
                    const std::function<bool()>& destinationReady = nullptr);
bool WriteSelfBatch(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                    int divisionCount = 0, const std::function<bool()>& destinationReady = nullptr);

}  // namespace pieces
