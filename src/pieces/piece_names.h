// Piece names: the whole file's name with a three-character piece number,
// 001 ... 999, then aaa ... zzz.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "path/place.h"

namespace pieces {

constexpr int MaxPieces = 18575;              // 999 + 26 * 26 * 26
constexpr std::uint32_t ChunkSize = 5242880;  // largest read, write and buffer

// The name of the run's piece n in `buffer` (text::PathCapacity bytes): the folder as
// given and the piece's element. Empty for n outside 0 ... MaxPieces, and
// for a name whose full form would not fit: never a shortened one.
char* MakePieceName(const app::RunOptions& options, char* buffer, int n);

// ".001" ... ".999", then ".aaa" ... ".zzz", for n in 1 ... MaxPieces.
std::string PieceSuffix(int n);

// The number of the piece whose name ends in `suffix` (".001" ... ".zzz"),
// or 0 for anything else.
int PieceNumberOf(const char* suffix);

// Where a run's pieces lie and the name they share before the number: a
// division's in the destination folder, a join's or a batch run's beside
// the piece given.
struct PieceSetName {
  std::string folder;  // as given, or the given piece's full folder
  std::string full;    // its full form (see path::Place::FullForm)
  std::string stem;    // the whole file's name, NAME.EXT
  // Whether `element` in the folder fits a path.
  bool Fits(const std::string& element) const { return path::Place::FitsIn(full, element); }
};
PieceSetName PiecesOfRun(const app::RunOptions& options);

// The names of one set of pieces, composed once from their folder and
// stem: an element is never read as a path.
class PieceNamer {
 public:
  PieceNamer(const path::Place& place, std::string stem) : place_(place), stem_(std::move(stem)) {}

  const path::Place& Place() const { return place_; }
  const std::string& Stem() const { return stem_; }
  // Whether every piece's full form fits a path (they differ only in
  // their numbers, which are all as long).
  bool Fits() const { return place_.Fits(Element(1)); }

  // Empty for n outside 0 ... MaxPieces.
  std::string Element(int n) const;
  // The full form; empty where it does not fit.
  std::string Path(int n) const;
  path::Shown Shown(int n) const { return place_.ShownOf(Element(n)); }

 private:
  const path::Place& place_;
  std::string stem_;
};

// What is at a piece's name.
enum class PieceSlot {
  File,      // a regular file, or a link to one
  Empty,     // nothing
  Dangling,  // a link that points nowhere
  NotAFile,  // a folder, a FIFO, a socket or a device
};

// What a look at a set's folder found: pieces 1 ... count without a gap,
// what ends them at count + 1, and the first piece above count + 1 that
// is there as well (0 for none).
struct PieceSurvey {
  int count = 0;
  PieceSlot stop = PieceSlot::Empty;
  int firstAfterGap = 0;
  // By piece number: the folder's listing showed a plain file (no link).
  std::vector<bool> listedPlain;
};

// The count (pieces 1 ... k that exist as files or links to files, without
// a gap, at most MaxPieces), and whether a piece lies beyond a gap.
PieceSurvey SurveyPieces(const PieceNamer& names);

// The pieces numbered above `n` that are there as files or links (a folder
// is none), in order: from one listing of the folder, and by name for
// every number where the folder cannot be listed.
std::vector<int> PiecesAbove(const PieceNamer& names, int n);

// The files of one run, worked out once by the entry and handed to every
// operation: where the pieces lie and the name they share, and the
// destination folder. Each folder is resolved when first asked for (by
// then a destination that was missing has been made) and only once; a
// folder named twice shares one handle.
class RunFiles {
 public:
  explicit RunFiles(const app::RunOptions& options);
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  const PieceSetName& Set() const { return set_; }
  // The pieces' names in their folder.
  const PieceNamer& Names();
  // The destination folder, as given: the batch files' and a join's output's.
  const path::Place& Destination();

 private:
  const app::RunOptions& options_;
  PieceSetName set_;
  std::string destinationFull_;
  std::optional<path::Place> pieceFolder_;
  std::optional<PieceNamer> names_;
  std::optional<path::Place> destination_;
};

}  // namespace pieces
