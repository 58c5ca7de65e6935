#pragma once

namespace pieces {

// Appends pieces 1, 2, ... of the source's base name into the whole file in
// the destination folder or the current directory.
bool JoinPieces();

}  // namespace pieces
