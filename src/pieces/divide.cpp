#include "pieces/divide.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/output.h"
#include "app/questions.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/place.h"
#include "pieces/batch.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
#include "pieces/work_buffer.h"
#include "text/texts.h"

namespace pieces {

namespace {

bool Fail(const char* message, const app::Subject& subject = {},
          const platform::Failure& failure = {}) {
  app::PrintFailure(message, subject, failure);
  return false;
}

// Pieces numbered above this division's belong to an older set: joined
// with the new ones they would give a wrong file. They go after one
// question (/Y: without it; the answer A agreed to replacing, not to
// deleting what was never shown). False when they stay for want of an
// answer, or one could not be deleted.
bool RemoveOlderPieces(const PieceNamer& names, int count) {
  const std::vector<int> stale = PiecesAbove(names, count);
  if (stale.empty()) return true;
  if (!app::g_runOptions.yesGiven) {
    platform::Keyboard keyboard;
    app::PrintQuestion(keyboard, text::AskDeleteStale, names.Shown(stale.front()));
    const app::KeyAnswer answer = app::WaitForKey(keyboard, "yn");
    app::EchoAnswer(keyboard, answer);
    if (answer.letter != 0) {
      app::Print(text::StaleKept, names.Shown(stale.front()));
      // Without a console nobody chose to keep them: a script must notice.
      return answer.letter == 1;
    }
  }
  for (int n : stale) {
    platform::Failure failure;
    if (!platform::RemoveFile(names.Place().Handle(), names.Element(n).c_str(), &failure)) {
      return Fail(text::StaleDeleteFailed, names.Shown(n), failure);
    }
  }
  app::Print(text::StaleDeleted, names.Shown(stale.front()), names.Shown(stale.back()));
  return true;
}

}  // namespace

bool DivisionNamesFit() {
  const app::RunOptions& options = app::g_runOptions;
  const PieceSetName set = PiecesOfRun(options);
  const auto fits = [&](const std::string& element) {
    return path::Place::WouldFit(set.folder, element);
  };
  // The pieces' numbers are all as long as the first one's.
  return fits(set.stem + PieceSuffix(1)) &&
         (!options.copyBatch || fits(BatchFileName(set.stem, ".cpy.bat"))) &&
         (!options.selfBatch || fits(BatchFileName(set.stem, ".dvr.bat")));
}

DivideResult DivideFile() {
  const app::RunOptions& options = app::g_runOptions;
  const std::uint32_t pieceSize = options.pieceSize;

  // The source and every file replaced: no piece may be written over one.
  platform::OpenedFiles files;
  path::FileHandle source;
  if (source.Open(options.sourcePath, platform::OpenMode::Read, &files) == platform::InvalidFile) {
    Fail(text::SourceOpenFailed, options.sourcePath, source.LastFailure());
    return DivideResult::Failed;
  }
  std::uint32_t size = 0;
  std::uint32_t high = 0;
  if (!source.QuerySize(&size, &high)) {
    Fail(text::SourceSizeFailed, options.sourcePath);
    return DivideResult::Failed;
  }
  // The high part is looked at first: a file of 4 GiB or more whose low
  // 32 bits happen to be small must not be told its piece size is too big.
  if (high != 0) {
    Fail(text::FileTooLarge, options.sourcePath);
    return DivideResult::Failed;
  }
  if (size <= pieceSize) {
    Fail(text::PieceSizeTooLarge, options.sourcePath);
    return DivideResult::Failed;
  }

  std::uint32_t remainder = size % pieceSize;
  std::uint32_t count = size / pieceSize + (remainder != 0 ? 1 : 0);
  if (count > static_cast<std::uint32_t>(MaxPieces)) {
    Fail(text::PieceSizeTooSmall, options.sourcePath);
    return DivideResult::Failed;
  }

  WorkBuffer buffer;
  if (!buffer.Allocate(std::min(pieceSize, ChunkSize))) {
    Fail(text::OutOfMemory);
    return DivideResult::Failed;
  }

  const PieceSetName set = PiecesOfRun(options);
  const path::Place place(set.folder);
  const PieceNamer names(place, set.stem);
  path::FileHandle piece(&place.Handle());
  // Once a piece of an older set is replaced, a stop that leaves more of
  // that set above the piece it stopped at leaves two divisions side by
  // side, which the user must hear of.
  bool replacedOld = false;
  int current = 0;
  const auto stop = [&](const char* message, const app::Subject& subject,
                        const platform::Failure& failure = {}) {
    Fail(message, subject, failure);
    if (replacedOld && !PiecesAbove(names, current).empty()) {
      app::PrintLine(text::TwoDivisionsMixed);
    }
    return DivideResult::Failed;
  };
  std::uint32_t currentSize = pieceSize;
  for (std::uint32_t i = 1; i <= count; ++i) {
    const int n = static_cast<int>(i);
    current = n;
    const std::string element = names.Element(n);
    const path::Shown shown = names.Shown(n);
    // The create itself is the existence check: a piece name that is taken
    // makes it fail, and then the name is looked up and asked about. One
    // call a piece fewer than looking first, with the same questions.
    // After /Y or A nothing is asked: the open replaces or creates at once,
    // without a create that fails first.
    const WriteTarget target =
        app::g_runOptions.overwriteAll ? WriteTarget::Replace : WriteTarget::New;
    switch (OpenToWrite(piece, place, element, target, &files)) {
      case WriteOpen::Stopped:
        return stop(text::DivideStopped, shown);
      case WriteOpen::Failed:
        return stop(text::FileOpenFailed, shown, piece.LastFailure());
      case WriteOpen::Replaced:
        replacedOld = true;
        break;
      case WriteOpen::Opened:
        break;
    }
    for (std::uint32_t left = currentSize; left > 0;) {
      std::uint32_t chunk = std::min(left, ChunkSize);
      auto outcome = source.CopyTo(piece, buffer.Data(), chunk, [&] { app::Print("%s\r", shown); });
      if (outcome == path::FileHandle::CopyOutcome::ReadShort) {
        return stop(text::SourceReadFailed, options.sourcePath, source.LastFailure());
      }
      if (outcome == path::FileHandle::CopyOutcome::WriteShort) {
        return stop(text::FileWriteFailed, shown, piece.LastFailure());
      }
      left -= chunk;
    }
    piece.Close();
    if (remainder != 0 && i == count - 1) currentSize = remainder;
  }

  source.Close();
  buffer.Release();
  app::Print("\n");
  app::PrintLine(text::DivideFinished);
  const bool noOlderPieces = RemoveOlderPieces(names, static_cast<int>(count));
  if (options.copyBatch) WriteCopyBatch(static_cast<int>(count));
  if (options.selfBatch) WriteSelfBatch(static_cast<int>(count));
  return noOlderPieces ? DivideResult::Divided : DivideResult::DividedNotClean;
}

}  // namespace pieces
