#include "pieces/join.h"

#include <algorithm>
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
#include "path/work_buffer.h"
#include "pieces/checksum_file.h"
#include "pieces/checksum_side.h"
#include "pieces/checksums.h"
#include "pieces/chunk_copy.h"
#include "pieces/overwrite.h"
#include "pieces/pending_file.h"
#include "pieces/piece_names.h"
#include "pieces/piece_set.h"
#include "text/texts.h"

namespace pieces {

namespace {

using app::Fail;

// An output that is one of the pieces under another name (a link) would be
// emptied before it is read, and the join would report success over it.
// One lookup a piece, and only where the output exists; none for a piece
// the listing showed as a plain file when the output is a plain file with
// no second name, which that piece cannot be.
bool OutputIsAPiece(const path::Place& outputFolder, const std::string& output,
                    const PieceNamer& names, const PieceSurvey& survey) {
  platform::FileIdentity target;
  bool soleName = false;
  if (!outputFolder.IdentityOf(output, &target, &soleName)) {
    return false;
  }
  for (int i = 1; i <= survey.count; ++i) {
    if (soleName && survey.listedPlain[static_cast<std::size_t>(i)]) continue;
    platform::FileIdentity piece;
    if (names.Place().IdentityOf(names.Element(i), &piece) && piece == target) {
      return true;
    }
  }
  return false;
}

// Whether the output's volume has room for a second copy beside the old
// output. Piece 1's size times the count is the guess; only when that does
// not fit are the pieces looked up one by one.
bool RoomForCopy(const path::Place& outputFolder, const PieceNamer& names, int count,
                 std::uint64_t firstSize) {
  std::uint64_t free = 0;
  if (!outputFolder.FreeSpace(&free)) return true;
  if (firstSize * static_cast<std::uint64_t>(count) <= free) return true;
  std::uint64_t total = 0;
  for (int i = 1; i <= count; ++i) {
    platform::DirEntry entry;
    if (names.Place().Lookup(names.Element(i), &entry)) total += entry.size;
  }
  return total <= free;
}

// The output written over in place: only once every piece was opened (and,
// with a checksum file, matched) and odd sizes were agreed to, since a
// failure afterwards loses the old output.
bool OpenInPlace(path::FileHandle& output, path::FileHandle& held, const path::Place& outputFolder,
                 const std::string& outputElement, bool outputThere, const PieceNamer& names,
                 const PieceSurvey& survey, const SetDigests* digests, app::RunState& state) {
  const path::Shown outputShown = outputFolder.ShownOf(outputElement);
  std::vector<std::uint64_t> sizes;
  if (!CheckPieces(names, 1, survey.count, digests, outputShown, &sizes)) return false;
  if (digests == nullptr && !AgreedToOddSizes(names, sizes)) return false;
  held.Close();
  const WriteTarget target = outputThere ? WriteTarget::Replace : WriteTarget::New;
  const WriteOpened opened =
      OpenToWrite(output, outputFolder, outputElement, target, state, nullptr,
                  [&] { return OutputIsAPiece(outputFolder, outputElement, names, survey); });
  switch (opened.result) {
    case WriteOpen::Stopped:
      return Fail(text::JoinStopped, outputShown);
    case WriteOpen::Failed:
      return Fail(text::FileOpenFailed, outputShown, opened.failure);
    case WriteOpen::Opened:
    case WriteOpen::Replaced:
      break;
  }
  return true;
}

// The joined file takes the output's name, with what the old output was
// allowed, which stays held until then.
bool TakeOutputName(PendingFile& pending, path::FileHandle& held, const path::Place& outputFolder,
                    const std::string& outputElement, WriteTarget target, app::RunState& state) {
  if (!pending.GiveAccess(&held)) return false;
  held.Close();
  switch (pending.TakeName(outputElement, target == WriteTarget::Replace, state)) {
    case PendingFile::Named::Yes:
      return true;
    case PendingFile::Named::Stopped:
      return Fail(text::JoinStopped, outputFolder.ShownOf(outputElement));
    case PendingFile::Named::Failed:
      break;
  }
  return false;
}

// Where the joined bytes go: a new file beside the output that takes its
// name at the end, or, where that would lose something, the output itself.
struct JoinOutput {
  JoinOutput(const path::Place& outputFolder, const std::string& outputElement)
      : folder(outputFolder),
        element(outputElement),
        shown(outputFolder.ShownOf(outputElement)),
        pending(outputFolder, file) {}

  const path::Place& folder;
  const std::string& element;
  const path::Shown shown;
  WriteTarget target = WriteTarget::New;
  bool there = false;
  bool inPlace = false;
  path::FileHandle held;  // an existing output, kept from other writers
  path::FileHandle file;
  PendingFile pending;
};

// Asks about an existing output and holds it, then opens what the pieces
// are written into: the new file, or the output in place once every piece
// was checked. `*firstSize`: piece 1's size.
bool ChooseOutput(JoinOutput& out, const PieceNamer& names, const PieceSurvey& survey,
                  const SetDigests* digests, app::RunState& state, std::uint64_t* firstSize) {
  const path::Place& outputFolder = out.folder;
  const path::Place& pieceFolder = names.Place();
  const std::string& outputElement = out.element;
  const path::Shown& outputShown = out.shown;
  const int count = survey.count;
  WriteTarget& target = out.target;
  bool& outputThere = out.there;
  bool& inPlace = out.inPlace;
  path::FileHandle& held = out.held;
  path::FileHandle& output = out.file;
  PendingFile& pending = out.pending;
  target = CheckWriteTarget(outputFolder, outputElement, state);
  if (target == WriteTarget::Stop) return Fail(text::JoinStopped, outputShown);
  if (!path::IsValidPath(outputFolder.PathOf(outputElement).c_str())) {
    return Fail(text::FileOpenFailed, outputShown);
  }
  // An existing output is held from other writers until the new one takes
  // its place; a link there is replaced itself and holds nothing.
  platform::DirEntry outputEntry;
  outputThere = target == WriteTarget::Replace && outputFolder.Lookup(outputElement, &outputEntry);
  if (outputThere && !outputEntry.isLink) {
    const path::Done holding = outputFolder.Open(held, outputElement, platform::OpenMode::Hold);
    if (!holding) return Fail(text::FileOpenFailed, outputShown, holding.failure);
  }
  // An output that is one of the pieces would be replaced by a join that
  // still reads it, or emptied before it is read.
  if (outputThere && OutputIsAPiece(outputFolder, outputElement, names, survey)) {
    return Fail(text::FileOpenFailed, outputShown);
  }

  platform::DirEntry first;
  if (!pieceFolder.Lookup(names.Element(1), &first) || first.isFolder) {
    return Fail(text::FirstPieceSizeFailed, names.Shown(1));
  }

  // The new file is written beside the output and takes its name at the
  // end; in place only where that would lose something of the old one
  // (its other names, its extended attributes) or cannot work.
  inPlace = (held.IsOpen() && !held.ReplaceableByNewFile()) ||
            (outputThere && !RoomForCopy(outputFolder, names, count, first.size));
  if (!inPlace) {
    const PendingFile::Creation created = pending.Create(outputElement);
    switch (created.result) {
      case PendingFile::Created::Yes:
        break;
      case PendingFile::Created::TooLong:
        inPlace = true;
        break;
      case PendingFile::Created::Failed:
        // A folder where no file may be created, whose output may be written.
        if (outputThere) {
          inPlace = true;
          break;
        }
        pending.ReportNotCreated(created);
        return false;
      case PendingFile::Created::AllTaken:
        pending.ReportNotCreated(created);
        return false;
    }
  }
  if (inPlace && !OpenInPlace(output, held, outputFolder, outputElement, outputThere, names, survey,
                              digests, state)) {
    return false;
  }

  *firstSize = first.size;
  return true;
}

// Copies every piece in order, checked where `check` is given; `*sizes`
// their sizes.
bool CopyPieces(const PieceNamer& names, int count, JoinOutput& out, JoinCheck* check,
                const SetDigests& digests, std::uint64_t firstSize,
                std::vector<std::uint64_t>* sizes) {
  const path::Place& pieceFolder = names.Place();
  const path::Shown& outputShown = out.shown;
  path::FileHandle& output = out.file;
  std::uint64_t size = firstSize;
  ChunkCopier copier(check ? std::optional(InspectorOf(*check)) : std::nullopt);
  if (!copier.Reserve(size)) return Fail(text::OutOfMemory);
  // After the first piece that differs nothing more is written, but the
  // rest are still checked: every piece to fetch again is named at once.
  const auto refused = [&] {
    const int differing = check->Differing();
    if (differing == 0) return FailHash(check->LastFailure());
    Fail(text::PieceChecksumMismatch, names.Shown(differing));
    std::vector<std::uint64_t> rest;
    CheckPieces(names, differing + 1, count, &digests, outputShown, &rest);
    return false;
  };

  path::FileHandle piece;
  for (int i = 1; i <= count; ++i) {
    const path::Shown shown = names.Shown(i);
    app::Print("%s\r", shown);
    const path::Done opened = pieceFolder.Open(piece, names.Element(i), platform::OpenMode::Read);
    if (!opened) return Fail(text::PieceOpenFailed, shown, opened.failure);
    const std::optional<std::uint64_t> pieceSize = piece.OpenedSize();
    if (!pieceSize) return Fail(text::PieceSizeFailed, shown);
    size = *pieceSize;
    sizes->push_back(size);
    // Pieces made by other tools may grow from one to the next: the block
    // may move then.
    if (!copier.Reserve(size)) return Fail(text::OutOfMemory);
    const ChunkCopier::Copied copied = copier.CopyPiece(i, piece, output, size, [] {});
    switch (copied.outcome) {
      case ChunkCopier::Outcome::ReadShort:
        return Fail(text::PieceReadFailed, shown, copied.failure);
      case ChunkCopier::Outcome::WriteShort:
        return Fail(text::JoinedWriteFailed, outputShown, copied.failure);
      case ChunkCopier::Outcome::Refused:
        return refused();
      case ChunkCopier::Outcome::Copied:
        break;
    }
    piece.Close();
  }
  if (!copier.Finish()) return refused();

  copier.Release();
  app::Print("\n");
  return true;
}

// The last checks, then the joined file takes the output's name.
bool CommitOutput(JoinOutput& out, const PieceNamer& names, JoinCheck* check,
                  const std::vector<std::uint64_t>& sizes, app::RunState& state) {
  const path::Shown& outputShown = out.shown;
  const bool inPlace = out.inPlace;
  if (check) {
    const JoinCheck::Outcome outcome = check->FinishWhole();
    if (outcome == JoinCheck::Outcome::Failed) return FailHash(check->LastFailure());
    if (outcome == JoinCheck::Outcome::Differs) {
      return Fail(text::JoinedChecksumMismatch, outputShown);
    }
  } else if (!inPlace && !AgreedToOddSizes(names, sizes)) {
    return false;
  }
  if (!inPlace &&
      !TakeOutputName(out.pending, out.held, out.folder, out.element, out.target, state)) {
    return false;
  }
  out.file.Close();
  return true;
}

}  // namespace

bool JoinPieces(const app::RunOptions& options, app::RunState& state) {
  RunFiles files(options);
  return JoinPiecesWhenReady(options, files, state, nullptr, nullptr);
}

bool JoinPiecesWhenReady(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                         const std::function<bool()>& destinationReady, bool* notStarted) {
  // Each folder is resolved once, before the count: the count, the
  // question and every open go through it, so a folder swapped meanwhile
  // is never read from instead.
  const PieceNamer& names = files.Names();
  const path::Place& pieceFolder = names.Place();
  const PieceSurvey survey = SurveyPieces(names);
  SetDigests digests;
  bool checked = false;
  if (!SetComplete(names, survey, options.checksum, &digests, &checked)) return false;
  std::optional<JoinCheck> check;
  if (checked) check.emplace(digests);

  // Only a join that can go ahead asks for its folder or makes it.
  if (destinationReady && !destinationReady()) {
    if (notStarted != nullptr) *notStarted = true;
    return false;
  }

  JoinOutput out(files.Destination(), names.Stem());
  std::uint64_t firstSize = 0;
  if (!ChooseOutput(out, names, survey, check ? &digests : nullptr, state, &firstSize)) {
    return false;
  }
  std::vector<std::uint64_t> sizes;
  sizes.reserve(static_cast<std::size_t>(survey.count));
  JoinCheck* checking = check ? &*check : nullptr;
  if (!CopyPieces(names, survey.count, out, checking, digests, firstSize, &sizes)) return false;
  if (!CommitOutput(out, names, checking, sizes, state)) return false;
  if (check) app::Print(text::ChecksumMatched, pieceFolder.ShownOf(ChecksumElement(names)));
  app::PrintLine(text::JoinFinished);
  return true;
}

}  // namespace pieces
