#include "pieces/divide.h"

#include <algorithm>
#include <cstdint>

#include "app/output.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "pieces/batch.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
#include "pieces/work_buffer.h"
#include "text/texts.h"

namespace pieces {

namespace {

bool Fail(const char* message, const char* subject = nullptr) {
  app::PrintFailure(message, subject);
  return false;
}

}  // namespace

bool DivideFile() {
  const app::RunOptions& options = app::g_runOptions;
  const std::uint32_t pieceSize = options.pieceSize;

  // The source and every file replaced: no piece may be written over one.
  platform::OpenedFiles files;
  path::FileHandle source;
  if (source.Open(options.sourcePath, platform::OpenMode::Read, &files) == platform::InvalidFile) {
    return Fail(text::SourceOpenFailed, options.sourcePath);
  }
  std::uint32_t size = 0;
  std::uint32_t high = 0;
  if (!source.QuerySize(&size, &high)) return Fail(text::SourceSizeFailed, options.sourcePath);
  // The high part is looked at first: a file of 4 GiB or more whose low
  // 32 bits happen to be small must not be told its piece size is too big.
  if (high != 0) return Fail(text::FileTooLarge, options.sourcePath);
  if (size <= pieceSize) return Fail(text::PieceSizeTooLarge, options.sourcePath);

  std::uint32_t remainder = size % pieceSize;
  std::uint32_t count = size / pieceSize + (remainder != 0 ? 1 : 0);
  if (count > static_cast<std::uint32_t>(MaxPieces)) {
    return Fail(text::PieceSizeTooSmall, options.sourcePath);
  }

  WorkBuffer buffer;
  if (!buffer.Allocate(std::min(pieceSize, ChunkSize))) return Fail(text::OutOfMemory);

  const PieceNamer names;
  char name[text::PathCapacity];
  const platform::Folder pieceFolder(names.WriteName(name, 1));
  path::FileHandle piece(&pieceFolder);
  std::uint32_t currentSize = pieceSize;
  for (std::uint32_t i = 1; i <= count; ++i) {
    names.WriteName(name, static_cast<int>(i));
    if (name[0] == '\0') {
      // The name does not fit a path: nothing is written under a wrong one.
      return Fail(text::FileOpenFailed, names.NameForMessage(static_cast<int>(i)).c_str());
    }
    // The create itself is the existence check: a piece name that is taken
    // makes it fail, and then the name is looked up and asked about. One
    // call a piece fewer than looking first, with the same questions.
    switch (OpenToWrite(piece, name, WriteTarget::New, &files)) {
      case WriteOpen::Stopped:
        return Fail(text::DivideStopped, name);
      case WriteOpen::Failed:
        return Fail(text::FileOpenFailed, name);
      case WriteOpen::Opened:
        break;
    }
    for (std::uint32_t left = currentSize; left > 0;) {
      std::uint32_t chunk = std::min(left, ChunkSize);
      auto outcome =
          source.CopyTo(piece, buffer.Data(), chunk, [&name] { app::Print("%s\r", name); });
      if (outcome == path::FileHandle::CopyOutcome::ReadShort) {
        return Fail(text::SourceReadFailed, options.sourcePath);
      }
      if (outcome == path::FileHandle::CopyOutcome::WriteShort) {
        return Fail(text::FileWriteFailed, name);
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
  if (options.copyBatch) WriteCopyBatch();
  if (options.selfBatch) WriteSelfBatch();
  return true;
}

}  // namespace pieces
