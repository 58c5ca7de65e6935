#include "pieces/join.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/output.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/file_system.h"
#include "path/path_parts.h"
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

// An output that is one of the pieces under another name (a link) would be
// emptied before it is read, and the join would report success over it.
bool OutputIsAPiece(const char* output, int count) {
  if (!path::FileExists(output)) return false;
  const PieceNamer names;
  char name[text::PathCapacity];
  for (int i = 1; i <= count; ++i) {
    if (path::SameFile(output, names.WriteName(name, i))) return true;
  }
  return false;
}

}  // namespace

bool JoinPieces() {
  const app::RunOptions& options = app::g_runOptions;

  int count = CountPieces();
  if (count == 0) return Fail(text::FirstPieceMissing, PieceNamer().NameForMessage(1).c_str());
  if (count == 1) return Fail(text::SecondPieceMissing, PieceNamer().NameForMessage(2).c_str());

  path::PathParts parts;
  parts.Decompose(options.sourcePath);
  std::string outputName = std::string(options.destFolder) + parts.Fname();

  path::FileHandle output;
  const WriteTarget target = CheckWriteTarget(outputName.c_str());
  switch (OpenToWrite(output, outputName.c_str(), target, nullptr,
                      [&] { return OutputIsAPiece(outputName.c_str(), count); })) {
    case WriteOpen::Stopped:
      return Fail(text::JoinStopped, outputName.c_str());
    case WriteOpen::Failed:
      return Fail(text::FileOpenFailed, outputName.c_str());
    case WriteOpen::Opened:
      break;
  }

  const PieceNamer names;
  char name[text::PathCapacity];
  std::uint32_t size = 0;
  std::uint32_t high = 0;
  if (!path::QueryFileSize(names.WriteName(name, 1), &size, &high) || high != 0) {
    return Fail(text::FirstPieceSizeFailed, name);
  }
  WorkBuffer buffer;
  if (!buffer.Allocate(std::min(size, ChunkSize))) return Fail(text::OutOfMemory);

  const platform::Folder pieceFolder(names.WriteName(name, 1));
  path::FileHandle piece(&pieceFolder);
  for (int i = 1; i <= count; ++i) {
    names.WriteName(name, i);
    app::Print("%s\r", name);
    if (piece.Open(name, platform::OpenMode::Read) == platform::InvalidFile) {
      return Fail(text::PieceOpenFailed, name);
    }
    // A piece of 4 GiB or more would be copied short: refused by its size.
    if (!piece.OpenedSize(&size, &high) || high != 0) {
      return Fail(text::PieceSizeFailed, name);
    }
    // Pieces made by other tools may grow from one to the next: the block
    // may move then.
    if (!buffer.Resize(std::min(size, ChunkSize))) return Fail(text::OutOfMemory);
    for (std::uint32_t left = size; left > 0;) {
      std::uint32_t chunk = std::min(left, ChunkSize);
      auto outcome = piece.CopyTo(output, buffer.Data(), chunk, [] {});
      if (outcome == path::FileHandle::CopyOutcome::ReadShort) {
        return Fail(text::PieceReadFailed, name);
      }
      if (outcome == path::FileHandle::CopyOutcome::WriteShort) {
        return Fail(text::JoinedWriteFailed, outputName.c_str());
      }
      left -= chunk;
    }
    piece.Close();
  }

  output.Close();
  buffer.Release();
  app::Print("\n");
  app::PrintLine(text::JoinFinished);
  return true;
}

}  // namespace pieces
