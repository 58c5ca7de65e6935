#include "pieces/divide.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/output.h"
#include "app/questions.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/place.h"
#include "pieces/batch.h"
#include "pieces/checksum_side.h"
#include "pieces/chunk_copy.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
#include "text/texts.h"

namespace pieces {

namespace {

using app::Fail;

// Pieces numbered above this division's belong to an older set: joined
// with the new ones they would give a wrong file, and so does a checksum
// file this division did not write. They go after one question (/Y:
// without it; the answer A agreed to replacing, not to deleting what was
// never shown). False when they stay for want of an answer, or one could
// not be deleted.
bool RemoveOlderPieces(const PieceNamer& names, int count, bool checksumWritten, bool yes) {
  std::vector<std::string> stale;
  for (int n : PiecesAbove(names, count)) stale.push_back(names.Element(n));
  if (!checksumWritten && names.Place().FileExists(ChecksumElement(names))) {
    stale.push_back(ChecksumElement(names));
  }
  if (stale.empty()) return true;
  const path::Place& place = names.Place();
  if (!yes) {
    platform::Keyboard keyboard;
    app::PrintQuestion(keyboard, text::AskDeleteStale, place.ShownOf(stale.front()));
    const app::KeyAnswer answer = app::WaitForKey(keyboard, "yn");
    app::EchoAnswer(keyboard, answer);
    if (answer.letter != 0) {
      app::Print(text::StaleKept, place.ShownOf(stale.front()));
      // Without a console nobody chose to keep them: a script must notice.
      return answer.letter == 1;
    }
  }
  for (const std::string& element : stale) {
    platform::Failure failure;
    if (!platform::RemoveFile(place.Handle(), element.c_str(), &failure)) {
      return Fail(text::StaleDeleteFailed, place.ShownOf(element), failure);
    }
  }
  app::Print(text::StaleDeleted, place.ShownOf(stale.front()), place.ShownOf(stale.back()));
  return true;
}

// The checksum file a division writes: the hash of the piece being written
// and of the whole file, and a line for every piece done.
class ChecksumWriter {
 public:
  // Nothing is hashed when `wanted` is false or the name has no UTF-8.
  ChecksumWriter(const PieceNamer& names, bool wanted) : names_(names), wanted_(wanted) {
    named_ = wanted && ChecksumName(names, &name_);
    if (named_) whole_.emplace();
  }

  bool Active() const { return named_; }
  bool Wanted() const { return wanted_; }
  std::string Element() const { return ChecksumElement(names_); }

  bool StartPiece() {
    if (named_) piece_.emplace();
    return true;
  }
  bool Add(const char* data, std::uint32_t size) {
    return piece_->Update(data, size) && whole_->Update(data, size);
  }
  bool FinishPiece(int n) {
    Digest digest;
    if (!named_) return true;
    if (!piece_->Finish(&digest)) return false;
    text_ += ChecksumLine(digest, name_ + PieceSuffix(n));
    return true;
  }
  // The file's text, its last line the whole file's.
  bool Finish(std::string* text) {
    Digest digest;
    if (!whole_->Finish(&digest)) return false;
    *text = text_ + ChecksumLine(digest, name_);
    return true;
  }

 private:
  const PieceNamer& names_;
  bool wanted_;
  std::string name_;  // the whole file's, UTF-8
  bool named_ = false;
  std::optional<platform::Sha256> piece_;
  std::optional<platform::Sha256> whole_;
  std::string text_;
};

// Writes the checksum file after the pieces: false (the pieces stand) when
// it could not be.
bool WriteChecksumFile(ChecksumWriter& checksum, const path::Place& place, WriteTarget target,
                       app::RunState& state, platform::OpenedFiles* files) {
  const path::Shown shown = place.ShownOf(checksum.Element());
  if (!checksum.Active()) return Fail(text::ChecksumNameUnconvertible, shown);
  std::string text;
  if (!checksum.Finish(&text)) return Fail(text::ChecksumFailed);
  path::FileHandle file(&place.Handle());
  switch (OpenToWrite(file, place, checksum.Element(), target, state, files)) {
    case WriteOpen::Stopped:
      return Fail(text::DivideStopped, shown);
    case WriteOpen::Failed:
      return Fail(text::FileOpenFailed, shown, file.LastFailure());
    case WriteOpen::Opened:
    case WriteOpen::Replaced:
      break;
  }
  const auto length = static_cast<std::uint32_t>(text.size());
  if (file.Write(text.data(), length) != length) {
    return Fail(text::FileWriteFailed, shown, file.LastFailure());
  }
  app::Print("%s\n", shown);
  return true;
}

}  // namespace

bool DivisionNamesFit(const app::RunOptions& options) {
  const PieceSetName set = PiecesOfRun(options);
  const auto fits = [&](const std::string& element) {
    return path::Place::WouldFit(set.folder, element);
  };
  // The pieces' numbers are all as long as the first one's.
  return fits(set.stem + PieceSuffix(1)) &&
         (!options.copyBatch || fits(BatchFileName(set.stem, ".cpy.bat"))) &&
         (!options.selfBatch || fits(BatchFileName(set.stem, ".dvr.bat"))) &&
         (!options.checksum || fits(set.stem + ChecksumFileSuffix));
}

DivideResult DivideFile(const app::RunOptions& options, app::RunState& state) {
  const std::uint32_t pieceSize = options.pieceSize;

  // The source and every file replaced: no piece may be written over one.
  platform::OpenedFiles files;
  path::FileHandle source;
  if (source.Open(options.sourcePath, platform::OpenMode::Read, &files) == platform::InvalidFile) {
    Fail(text::SourceOpenFailed, options.sourcePath, source.LastFailure());
    return DivideResult::Failed;
  }
  // The open file's own size: its name may lead elsewhere by now.
  const std::optional<std::uint64_t> sourceSize = source.OpenedSize();
  if (!sourceSize) {
    Fail(text::SourceSizeFailed, options.sourcePath);
    return DivideResult::Failed;
  }
  // Too large before too small: a file of 4 GiB or more must not be told
  // its piece size is too big.
  if (*sourceSize > LargestSize) {
    Fail(text::FileTooLarge, options.sourcePath);
    return DivideResult::Failed;
  }
  const auto size = static_cast<std::uint32_t>(*sourceSize);
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

  const PieceSetName set = PiecesOfRun(options);
  const path::Place place(set.folder);
  const PieceNamer names(place, set.stem);
  path::FileHandle piece(&place.Handle());
  ChecksumWriter checksum(names, options.checksum);
  ChunkCopier copier(checksum.Active() ? std::optional(InspectorOf(checksum)) : std::nullopt,
                     Source::OneFile);
  if (!copier.Reserve(pieceSize)) {
    Fail(text::OutOfMemory);
    return DivideResult::Failed;
  }
  // Asked before piece 1, like every file the division writes.
  WriteTarget checksumTarget = WriteTarget::New;
  if (checksum.Active()) {
    checksumTarget = CheckWriteTarget(place, checksum.Element(), state);
    if (checksumTarget == WriteTarget::Stop) {
      Fail(text::DivideStopped, place.ShownOf(checksum.Element()));
      return DivideResult::Failed;
    }
  }
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
    const WriteTarget target = state.overwriteAll ? WriteTarget::Replace : WriteTarget::New;
    // Written over rather than emptied: a set divided again mostly has
    // pieces of the same size, and their pages are reused.
    const WriteOpen opened = OpenToWrite(piece, place, element, target, state, &files, nullptr,
                                         platform::OpenMode::Overwrite);
    switch (opened) {
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
    // A question was answered: the source is read as it is after the wait.
    if (target == WriteTarget::New && opened == WriteOpen::Replaced &&
        !copier.ForgetReadAhead(source)) {
      return stop(text::SourceReadFailed, options.sourcePath, source.LastFailure());
    }
    const auto progress = [&] { app::Print("%s\r", shown); };
    switch (copier.CopyPiece(n, source, piece, currentSize, progress)) {
      case ChunkCopier::Outcome::ReadShort:
        return stop(text::SourceReadFailed, options.sourcePath, source.LastFailure());
      case ChunkCopier::Outcome::WriteShort:
        return stop(text::FileWriteFailed, shown, piece.LastFailure());
      case ChunkCopier::Outcome::Refused:
        return stop(text::ChecksumFailed, {});
      case ChunkCopier::Outcome::Copied:
        break;
    }
    if (!piece.EndHere()) return stop(text::FileWriteFailed, shown, piece.LastFailure());
    piece.Close();
    if (remainder != 0 && i == count - 1) currentSize = remainder;
  }

  if (!copier.Finish()) return stop(text::ChecksumFailed, {});
  source.Close();
  copier.Release();
  app::Print("\n");
  app::PrintLine(text::DivideFinished);
  const bool checksumWritten =
      !checksum.Wanted() || WriteChecksumFile(checksum, place, checksumTarget, state, &files);
  const bool noOlderPieces = RemoveOlderPieces(names, static_cast<int>(count),
                                               checksum.Wanted() && checksumWritten, options.yes) &&
                             checksumWritten;
  if (options.copyBatch) WriteCopyBatch(options, state, static_cast<int>(count));
  if (options.selfBatch) WriteSelfBatch(options, state, static_cast<int>(count));
  return noOlderPieces ? DivideResult::Divided : DivideResult::DividedNotClean;
}

}  // namespace pieces
