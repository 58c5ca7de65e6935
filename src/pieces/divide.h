#pragma once

namespace pieces {

// Cuts the source into pieces of RunOptions::pieceSize bytes, then writes
// the batch files that /C and /S ask for. True when every piece was written.
bool DivideFile();

}  // namespace pieces
