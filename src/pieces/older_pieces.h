// What an older division of the same name left: its pieces above this
// division's count and a checksum file it did not write, removed so that no
// join mixes them with the new set; and its piece 1, removed before the new
// one is written.
#pragma once

#include <string>

#include "path/place.h"
#include "pieces/piece_names.h"

namespace pieces {

// Pieces numbered above this division's belong to an older set: joined
// with the new ones they would give a wrong file, and so does a checksum
// file this division did not write. They go after one question (/Y:
// without it; the answer A agreed to replacing, not to deleting what was
// never shown), each only once no other program holds it. False when they
// stay for want of an answer, or one could not be deleted.
bool RemoveOlderPieces(const PieceNamer& names, int count, bool checksumWritten, bool yes);

// Piece 1 of an older set goes before anything of this division is
// written, once the user allowed replacing it: false when it stays.
bool RemoveOldFirstPiece(const path::Place& place, const std::string& element);

}  // namespace pieces
