// A run's options, read-only once parsed, and the little that changes while
// it runs.
#pragma once

#include <cstdint>

#include "text/code_page.h"

namespace app {

enum RunMode : std::int32_t {
  ModeUndecided = 0,
  ModeDivide = 1,
  ModeJoin = 2,
  ModeBatch = 3,
  ModeVerify = 4,  // /V: the pieces checked, nothing joined
};

// The source path of a name that could not be resolved: it fails every
// platform's path rules (a file named : is a POSIX name, and must not stand
// in for the one not found), so the checks report the file as missing.
constexpr char UnresolvedSource[] = "\\\\\\";

// The piece size of /F: a 1.44 MB floppy's usable bytes.
constexpr std::uint32_t FloppySize = 1457152;
// The largest piece a division makes: the largest file FAT32 holds, so that
// the pieces of any file fit on the sticks and cards they are made for.
constexpr std::uint64_t LargestPieceSize = 0xFFFFFFFFu;

struct RunOptions {
  RunMode mode = ModeUndecided;  // from the options, once they are all read
  bool copyBatch = false;
  bool selfBatch = false;
  bool yes = false;       // /Y: replaces unasked, and deletes an older set's pieces
  bool checksum = false;  // /H: a division writes the checksum file, a join needs one
  bool verify = false;    // /V
  bool showHelp = false;
  bool sizeGiven = false;
  char sourcePath[text::PathCapacity] = {};
  char sourceTyped[text::PathCapacity] = {};  // the source argument as typed
  std::uint64_t pieceSize = 0;                // may exceed LargestPieceSize until checked
  char destFolder[text::PathCapacity] = {};   // empty, or ending in a backslash
};

// What a run learns as it goes: after the answer A (or with /Y) every file
// is replaced without a question.
struct RunState {
  RunState() = default;
  explicit RunState(const RunOptions& options) : overwriteAll(options.yes) {}
  bool overwriteAll = false;
};

}  // namespace app
