// The one record of options and derived state of a run.
#pragma once

#include <cstdint>

#include "text/code_page.h"

namespace app {

enum RunMode : std::int32_t { ModeDivide = 1, ModeJoin = 2, ModeBatch = 3 };

// The piece size of /F: a 1.44 MB floppy's usable bytes.
constexpr std::uint32_t FloppySize = 1457152;

struct RunOptions {
  std::int32_t mode = 0;
  bool copyBatch = false;
  bool selfBatch = false;
  bool overwriteAll = false;
  bool showHelp = false;
  bool sizeGiven = false;
  char sourcePath[text::PathCapacity] = {};
  std::uint32_t pieceSize = 0;
  char destFolder[text::PathCapacity] = {};  // empty, or ending in a backslash
};

extern RunOptions g_runOptions;

}  // namespace app
