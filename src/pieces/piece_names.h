// Piece names: the whole file's name with a three-character piece number,
// 001 ... 999, then aaa ... zzz.
#pragma once

#include <cstdint>
#include <string>

namespace pieces {

constexpr int MaxPieces = 18575;              // 999 + 26 * 26 * 26
constexpr std::uint32_t ChunkSize = 5242880;  // largest read, write and buffer

// The name of piece n in `buffer` (text::PathCapacity bytes). Empty for n outside
// 0 ... MaxPieces, and for a name that would not fit: never a shortened one.
char* MakePieceName(char* buffer, int n);

// ".001" ... ".999", then ".aaa" ... ".zzz", for n in 1 ... MaxPieces.
std::string PieceSuffix(int n);

// The number of the piece whose name ends in `suffix` (".001" ... ".zzz"),
// or 0 for anything else.
int PieceNumberOf(const char* suffix);

// Pieces 1 ... k that exist as files, without a gap, at most MaxPieces.
int CountPieces();

// The names of one run's pieces. Everything before the number comes from
// the source path and the current folder, which stay put for the run, so
// it is worked out once rather than once a piece.
class PieceNamer {
 public:
  PieceNamer();
  char* WriteName(char* buffer, int n) const;  // as MakePieceName
  // The name of piece n however long, for a message about a name too long
  // to be used; empty for n outside 0 ... MaxPieces.
  std::string NameForMessage(int n) const;

 private:
  std::string stem_;
};

}  // namespace pieces
