// Join batch files for the command prompt: NAME.cpy.bat joins the pieces
// with COPY /B, NAME.dvr.bat runs this program on the first piece.
#pragma once

#include <cstdint>
#include <string>

#include "app/run_options.h"

namespace pieces {

// In batch mode: the pieces there, refused when one lies beyond a gap.
// Questions go through `state`.
bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state);
bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state);
// The name of a set's batch file: the whole file's name `stem` without its
// extension, then `extension` (".cpy.bat", ".dvr.bat").
std::string BatchFileName(const std::string& stem, const char* extension);

// After a division: exactly the `divisionCount` pieces it wrote, of a file
// of `wholeSize` bytes.
bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state, int divisionCount,
                    std::uint64_t wholeSize);
bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state, int divisionCount);

// A file name, given as the code page 932 bytes a batch file holds, as it
// stands there: enclosed in double quotes when one of its bytes, read as a
// single-byte code page reads it, is a blank or a character the command
// processor treats specially, with every % doubled. Other names stay byte
// for byte.
std::string QuoteForBatch(const char* name);

}  // namespace pieces
