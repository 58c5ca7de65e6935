// Join batch files for the command prompt: NAME.cpy.bat joins the pieces
// with COPY /B, NAME.dvr.bat runs this program on the first piece.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/run_options.h"
#include "pieces/batch_text.h"

namespace pieces {

// In batch mode: the pieces there, refused when one lies beyond a gap.
// Questions go through `state`. `destinationReady`, where given, makes the
// batch file's folder once the set has passed its checks: a set that
// cannot have one makes none.
bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state);
bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state);
bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state,
                    const std::function<bool()>& destinationReady);
bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state,
                    const std::function<bool()>& destinationReady);

// After a division: exactly the `divisionCount` pieces it wrote, of a file
// of `wholeSize` bytes.
bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state, int divisionCount,
                    std::uint64_t wholeSize,
                    const std::function<bool()>& destinationReady = nullptr);
bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state, int divisionCount,
                    const std::function<bool()>& destinationReady = nullptr);

}  // namespace pieces
