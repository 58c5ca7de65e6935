#include "pieces/join.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/output.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/place.h"
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

// An output that is one of the pieces under another name (a link) would be
// emptied before it is read, and the join would report success over it.
// One lookup a piece, and only where the output exists.
bool OutputIsAPiece(const path::Place& outputFolder, const std::string& output,
                    const PieceNamer& names, int count) {
  platform::FileIdentity target;
  if (!platform::IdentityOf(outputFolder.Handle(), output.c_str(), &target)) return false;
  for (int i = 1; i <= count; ++i) {
    platform::FileIdentity piece;
    if (platform::IdentityOf(names.Place().Handle(), names.Element(i).c_str(), &piece) &&
        piece == target) {
      return true;
    }
  }
  return false;
}

// A set cut by size has every piece but the last of the first one's size.
// The piece to name when one between them differs: the first that differs
// from piece 1, or piece 1 itself where all between agree with each other.
// 0 when nothing is odd; a last piece of any size is never odd (other tools
// make the last one the largest).
int OddSizedPiece(const std::vector<std::uint64_t>& sizes) {
  const std::size_t k = sizes.size();
  if (k < 3) return 0;
  int firstOdd = 0;
  bool middleAgree = true;
  for (std::size_t i = 1; i + 1 < k; ++i) {
    if (sizes[i] != sizes[0] && firstOdd == 0) firstOdd = static_cast<int>(i) + 1;
    if (sizes[i] != sizes[1]) middleAgree = false;
  }
  if (firstOdd == 0) return 0;
  return middleAgree ? 1 : firstOdd;
}

}  // namespace

bool JoinPieces() {
  const app::RunOptions& options = app::g_runOptions;

  // Each folder is resolved once, before the count: the count, the
  // question and every open go through it, so a folder swapped meanwhile
  // is never read from instead.
  const PieceSetName set = PiecesOfRun(options);
  const path::Place pieceFolder(set.folder);
  const PieceNamer names(pieceFolder, set.stem);
  const PieceSurvey survey = SurveyPieces(names);
  const int count = survey.count;
  if (count == 0) return Fail(text::FirstPieceMissing, names.Shown(1));
  if (count == 1) return Fail(text::SecondPieceMissing, names.Shown(2));
  // A piece beyond a gap: joining up to the gap would give a shorter file
  // and report success.
  if (survey.firstAfterGap != 0) return Fail(text::PieceMissing, names.Shown(count + 1));

  const path::Place outputFolder(options.destFolder);
  const std::string& outputElement = set.stem;
  const path::Shown outputShown = outputFolder.ShownOf(outputElement);
  path::FileHandle output(&outputFolder.Handle());
  const WriteTarget target = CheckWriteTarget(outputFolder, outputElement);
  const auto outputIsAPiece = [&] {
    return OutputIsAPiece(outputFolder, outputElement, names, count);
  };
  switch (OpenToWrite(output, outputFolder, outputElement, target, nullptr, outputIsAPiece)) {
    case WriteOpen::Stopped:
      return Fail(text::JoinStopped, outputShown);
    case WriteOpen::Failed:
      return Fail(text::FileOpenFailed, outputShown, output.LastFailure());
    case WriteOpen::Opened:
    case WriteOpen::Replaced:
      break;
  }

  platform::DirEntry first;
  if (!pieceFolder.Lookup(names.Element(1), &first) || first.isFolder || first.size >> 32 != 0) {
    return Fail(text::FirstPieceSizeFailed, names.Shown(1));
  }
  auto size = static_cast<std::uint32_t>(first.size);
  WorkBuffer buffer;
  if (!buffer.Allocate(std::min(size, ChunkSize))) return Fail(text::OutOfMemory);

  path::FileHandle piece(&pieceFolder.Handle());
  std::vector<std::uint64_t> sizes;
  sizes.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) {
    const std::string name = names.Path(i);
    const path::Shown shown = names.Shown(i);
    app::Print("%s\r", shown);
    if (piece.Open(name.c_str(), platform::OpenMode::Read) == platform::InvalidFile) {
      return Fail(text::PieceOpenFailed, shown, piece.LastFailure());
    }
    // A piece of 4 GiB or more would be copied short: refused by its size.
    std::uint32_t high = 0;
    if (!piece.OpenedSize(&size, &high) || high != 0) return Fail(text::PieceSizeFailed, shown);
    sizes.push_back(size);
    // Pieces made by other tools may grow from one to the next: the block
    // may move then.
    if (!buffer.Resize(std::min(size, ChunkSize))) return Fail(text::OutOfMemory);
    for (std::uint32_t left = size; left > 0;) {
      std::uint32_t chunk = std::min(left, ChunkSize);
      auto outcome = piece.CopyTo(output, buffer.Data(), chunk, [] {});
      if (outcome == path::FileHandle::CopyOutcome::ReadShort) {
        return Fail(text::PieceReadFailed, shown, piece.LastFailure());
      }
      if (outcome == path::FileHandle::CopyOutcome::WriteShort) {
        return Fail(text::JoinedWriteFailed, outputShown, output.LastFailure());
      }
      left -= chunk;
    }
    piece.Close();
  }

  output.Close();
  buffer.Release();
  app::Print("\n");
  // Joined byte for byte all the same; the user is told which piece looks
  // as if it came from another set or was cut short.
  if (const int odd = OddSizedPiece(sizes); odd != 0) {
    app::PrintFailure(text::PieceSizeDiffers, names.Shown(odd));
  }
  app::PrintLine(text::JoinFinished);
  return true;
}

}  // namespace pieces
