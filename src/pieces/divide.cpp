#include "pieces/divide.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/output.h"
#include "app/questions.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/path_rules.h"
#include "path/place.h"
#include "pieces/batch.h"
#include "pieces/checksum_side.h"
#include "pieces/checksums.h"
#include "pieces/chunk_copy.h"
#include "pieces/older_pieces.h"
#include "pieces/overwrite.h"
#include "pieces/pending_file.h"
#include "pieces/piece_names.h"
#include "text/texts.h"

namespace pieces {

using app::Fail;

bool DivisionNamesFit(const app::RunOptions& options, const PieceSetName& set) {
  const auto fits = [&](const std::string& element) { return set.Fits(element); };
  // The pieces' numbers are all as long as the first one's, and piece 1's
  // temporary name is longer.
  return fits(UnfinishedElement(set.stem + PieceSuffix(1), 1)) &&
         (!options.copyBatch || fits(BatchFileName(set.stem, ".cpy.bat"))) &&
         (!options.selfBatch || fits(BatchFileName(set.stem, ".dvr.bat"))) &&
         (!options.checksum || fits(set.stem + ChecksumFileSuffix));
}

namespace {

// What a division will make: the source's size, how many pieces, and the
// last one's size where it is shorter (0 where it is not).
struct DivisionPlan {
  std::uint64_t size = 0, count = 0, remainder = 0;
};

// The checks on the open source, in their order; false once one failed,
// with its message said.
bool PlanDivision(const path::FileHandle& source, const app::RunOptions& options,
                  std::uint32_t pieceSize, DivisionPlan* plan) {
  // The open file's own size: its name may lead elsewhere by now.
  const std::optional<std::uint64_t> sourceSize = source.OpenedSize();
  if (!sourceSize) {
    Fail(text::SourceSizeFailed, options.sourcePath);
    return false;
  }
  const std::uint64_t size = *sourceSize;
  if (size <= pieceSize) {
    Fail(text::PieceSizeTooLarge, options.sourcePath);
    return false;
  }

  const std::uint64_t remainder = size % pieceSize;
  const std::uint64_t count = size / pieceSize + (remainder != 0 ? 1 : 0);
  plan->size = size;
  plan->count = count;
  plan->remainder = remainder;
  if (count > static_cast<std::uint64_t>(MaxPieces)) {
    Fail(text::PieceSizeTooSmall, options.sourcePath);
    return false;
  }
  return true;
}

// Asks about the checksum file and piece 1 before any is written, and
// creates piece 1 under its temporary name, an older piece 1 gone first.
bool PrepareFirstPiece(const PieceNamer& names, const ChecksumWriter& checksum,
                       app::RunState& state, PendingFile& pending, WriteTarget* checksumTarget) {
  const path::Place& place = names.Place();
  // Asked before piece 1, like every file the division writes.
  if (checksum.Active()) {
    *checksumTarget = CheckWriteTarget(place, checksum.Element(), state);
    if (*checksumTarget == WriteTarget::Stop) {
      Fail(text::DivideStopped, place.ShownOf(checksum.Element()));
      return false;
    }
  }
  // Piece 1 is written under a temporary name and takes its own only once
  // every piece is whole and nothing of an older set is left above them:
  // a division that stops leaves no set that a join would take. An older
  // piece 1 goes first, once the user allowed replacing it.
  const std::string firstElement = names.Element(1);
  const WriteTarget firstTarget = CheckWriteTarget(place, firstElement, state);
  if (firstTarget == WriteTarget::Stop) {
    Fail(text::DivideStopped, names.Shown(1));
    return false;
  }
  platform::DirEntry oldFirst;
  const bool firstThere = place.Lookup(firstElement, &oldFirst);
  if (!path::IsValidPath(names.Path(1).c_str()) || (firstThere && oldFirst.isSpecial)) {
    Fail(text::FileOpenFailed, names.Shown(1));
    return false;
  }
  if (firstThere && !RemoveOldFirstPiece(place, firstElement)) return false;
  const PendingFile::Creation created = pending.Create(firstElement);
  if (created.result != PendingFile::Created::Yes) {
    pending.ReportNotCreated(created);
    return false;
  }
  return true;
}

// Copies every piece from the source; false, with the failure said, when
// one cannot be written whole.
bool CopyAllPieces(const app::RunOptions& options, app::RunState& state, const PieceNamer& names,
                   const DivisionPlan& plan, path::FileHandle& source, platform::OpenedFiles& files,
                   ChunkCopier& copier, const ChecksumWriter& checksum, PendingFile& pending,
                   path::FileHandle& firstPiece) {
  const path::Place& place = names.Place();
  const auto pieceSize = static_cast<std::uint32_t>(options.pieceSize);
  const std::uint64_t count = plan.count, remainder = plan.remainder;
  // `message`: none where the failure was told already.
  const auto stop = [](const char* message, const app::Subject& subject,
                       const platform::Failure& failure = {}) {
    if (message != nullptr) Fail(message, subject, failure);
    return false;
  };
  auto currentSize = pieceSize;
  path::FileHandle piece;
  for (std::uint64_t i = 1; i <= count; ++i) {
    const int n = static_cast<int>(i);
    const std::string element = names.Element(n);
    const path::Shown shown = names.Shown(n);
    path::FileHandle& to = n == 1 ? firstPiece : piece;
    if (n != 1) {
      // The create itself is the existence check: a piece name that is
      // taken makes it fail, and then the name is looked up and asked
      // about. After /Y or A nothing is asked: the open replaces or
      // creates at once.
      const WriteTarget target = state.overwriteAll ? WriteTarget::Replace : WriteTarget::New;
      // Written over rather than emptied: a set divided again mostly has
      // pieces of the same size, and their pages are reused.
      const WriteOpened opened = OpenToWrite(piece, place, element, target, state, &files, nullptr,
                                             platform::OpenMode::Overwrite);
      switch (opened.result) {
        case WriteOpen::Stopped:
          return stop(text::DivideStopped, shown);
        case WriteOpen::Failed:
          return stop(text::FileOpenFailed, shown, opened.failure);
        case WriteOpen::Replaced:
        case WriteOpen::Opened:
          break;
      }
      // A question was answered: the source is read as it is after the wait.
      if (target == WriteTarget::New && opened.result == WriteOpen::Replaced) {
        const path::Done back = copier.ForgetReadAhead(source);
        if (!back) return stop(text::SourceReadFailed, options.sourcePath, back.failure);
      }
    }
    const auto progress = [&] { app::Print("%s\r", shown); };
    const ChunkCopier::Copied copied = copier.CopyPiece(n, source, to, currentSize, progress);
    switch (copied.outcome) {
      case ChunkCopier::Outcome::ReadShort:
        return stop(text::SourceReadFailed, options.sourcePath, copied.failure);
      case ChunkCopier::Outcome::WriteShort:
        return stop(text::FileWriteFailed, n == 1 ? pending.Shown() : shown, copied.failure);
      case ChunkCopier::Outcome::Refused:
        FailHash(checksum.LastFailure());
        return stop(nullptr, {});
      case ChunkCopier::Outcome::Copied:
        break;
    }
    if (n != 1) {
      const path::Done cut = piece.EndHere();
      if (!cut) return stop(text::FileWriteFailed, shown, cut.failure);
      piece.Close();
    } else {
      // Whole now: it waits under its temporary name without a descriptor.
      if (!pending.GiveAccess(nullptr)) return stop(nullptr, {});
      firstPiece.Close();
    }
    if (remainder != 0 && i == count - 1) currentSize = static_cast<std::uint32_t>(remainder);
  }
  if (!copier.Finish()) {
    FailHash(checksum.LastFailure());
    return stop(nullptr, {});
  }
  source.Close();
  copier.Release();
  app::Print("\n");

  return true;
}

}  // namespace

DivideResult DivideFile(const app::RunOptions& options, app::RunState& state,
                        const std::function<bool()>& destinationReady) {
  RunFiles files(options);
  return DivideFile(options, files, state, destinationReady);
}

DivideResult DivideFile(const app::RunOptions& options, RunFiles& runFiles, app::RunState& state,
                        const std::function<bool()>& destinationReady) {
  // At most LargestPieceSize: the arguments' checks refused a larger one.
  const auto pieceSize = static_cast<std::uint32_t>(options.pieceSize);

  // The source and every file replaced: no piece may be written over one.
  platform::OpenedFiles files;
  path::FileHandle source;
  const path::Done opened = source.Open(options.sourcePath, platform::OpenMode::Read, &files);
  if (!opened) {
    Fail(text::SourceOpenFailed, options.sourcePath, opened.failure);
    return DivideResult::Failed;
  }
  DivisionPlan plan;
  if (!PlanDivision(source, options, pieceSize, &plan)) return DivideResult::Failed;
  const std::uint64_t count = plan.count;
  // Only a division that can go ahead asks for its folder or makes it.
  if (destinationReady && !destinationReady()) return DivideResult::NotStarted;

  const PieceNamer& names = runFiles.Names();
  const path::Place& place = names.Place();
  ChecksumWriter checksum(names, options.checksum);
  // A checksum file that cannot be written is known before any piece is.
  if (checksum.Wanted() && !checksum.Active()) {
    Fail(text::ChecksumNameUnconvertible, place.ShownOf(checksum.Element()));
    return DivideResult::Failed;
  }
  ChunkCopier copier(checksum.Active() ? std::optional(InspectorOf(checksum)) : std::nullopt,
                     Source::OneFile);
  if (!copier.Reserve(pieceSize)) {
    Fail(text::OutOfMemory);
    return DivideResult::Failed;
  }
  const std::string firstElement = names.Element(1);
  path::FileHandle firstPiece;
  PendingFile pending(place, firstPiece);
  WriteTarget checksumTarget = WriteTarget::New;
  if (!PrepareFirstPiece(names, checksum, state, pending, &checksumTarget)) {
    return DivideResult::Failed;
  }
  // A checksum file written for pieces that do not all stand would
  // vouch for a set that is not there.
  bool checksumWritten = false;
  // `message`: none where the failure was told already.
  const auto stop = [&](const char* message, const app::Subject& subject,
                        const platform::Failure& failure = {}) {
    if (message != nullptr) Fail(message, subject, failure);
    pending.Discard();
    // One left behind lists a set without its piece 1, which a join refuses.
    if (checksumWritten) (void)place.Remove(checksum.Element());
    app::Print(text::FirstPieceNotWritten, names.Shown(1));
    return DivideResult::Failed;
  };
  if (!CopyAllPieces(options, state, names, plan, source, files, copier, checksum, pending,
                     firstPiece)) {
    return stop(nullptr, {});
  }
  if (checksum.Wanted()) {
    if (!WriteChecksumFile(checksum, place, checksumTarget, state, &files))
      return stop(nullptr, {});
    checksumWritten = true;
  }
  if (!RemoveOlderPieces(names, static_cast<int>(count), checksum.Wanted(), options.yes)) {
    return stop(nullptr, {});
  }
  switch (pending.TakeName(firstElement, false, state)) {
    case PendingFile::Named::Yes:
      break;
    case PendingFile::Named::Stopped:
      return stop(text::DivideStopped, names.Shown(1));
    case PendingFile::Named::Failed:
      return stop(nullptr, {});
  }
  app::PrintLine(text::DivideFinished);
  if (options.copyBatch)
    WriteCopyBatch(options, runFiles, state, static_cast<int>(count), plan.size);
  if (options.selfBatch) WriteSelfBatch(options, runFiles, state, static_cast<int>(count));
  return DivideResult::Divided;
}

}  // namespace pieces
