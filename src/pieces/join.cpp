#include "pieces/join.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/output.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/path_rules.h"
#include "path/place.h"
#include "pieces/checksum_side.h"
#include "pieces/chunk_copy.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
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
  if (!platform::IdentityOf(outputFolder.Handle(), output.c_str(), &target, &soleName)) {
    return false;
  }
  for (int i = 1; i <= survey.count; ++i) {
    if (soleName && survey.listedPlain[static_cast<std::size_t>(i)]) continue;
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

// The output of a join that checks a checksum file: written under a new
// name beside it and renamed over it once every check has passed, so a
// mismatch leaves an existing output as it was. Removed on every other
// way out.
class TemporaryOutput {
 public:
  TemporaryOutput(const path::Place& folder, path::FileHandle& file)
      : folder_(folder), file_(file) {}
  ~TemporaryOutput() {
    file_.Close();
    if (!element_.empty()) platform::RemoveFile(folder_.Handle(), element_.c_str());
  }
  TemporaryOutput(const TemporaryOutput&) = delete;
  TemporaryOutput& operator=(const TemporaryOutput&) = delete;

  // Created new under the first free name of a few; false when none could
  // be. A name is tried once: one that could not be created is someone
  // else's by then.
  bool Create() {
    for (int i = 1; i <= 100; ++i) {
      const std::string element = "~divro" + std::to_string(i) + ".tmp";
      const std::string name = folder_.PathOf(element);
      if (name.empty()) return false;
      if (folder_.Exists(element)) continue;
      if (file_.Open(name.c_str(), platform::OpenMode::CreateNew) == platform::InvalidFile) {
        return false;
      }
      element_ = element;
      return true;
    }
    return false;
  }

  // The file takes the output's name; nothing is removed afterwards.
  bool Commit(const std::string& outputElement) {
    file_.Close();
    if (!platform::RenameFile(folder_.Handle(), element_.c_str(), outputElement.c_str())) {
      return false;
    }
    element_.clear();
    return true;
  }

 private:
  const path::Place& folder_;
  path::FileHandle& file_;
  std::string element_;
};

// What a join checks against a checksum file: every piece that has a line,
// else the whole file.
class JoinCheck {
 public:
  explicit JoinCheck(const SetDigests& digests) : digests_(digests) {
    if (digests_.pieces.empty()) whole_.emplace();
  }

  bool StartPiece() {
    if (!digests_.pieces.empty()) piece_.emplace();
    return true;
  }
  bool Add(const char* data, std::uint32_t size) {
    return (piece_ ? piece_->Update(data, size) : true) &&
           (whole_ ? whole_->Update(data, size) : true);
  }
  bool FinishPiece(int n) {
    if (!piece_) return true;
    Digest digest;
    const bool finished = piece_->Finish(&digest);
    piece_.reset();
    if (finished && digest != digests_.pieces.at(n)) differing_ = n;
    return finished && differing_ == 0;
  }
  // The piece whose digest differs; 0 when none did (the hash failed).
  int Differing() const { return differing_; }

  enum class Outcome { Matches, Differs, Failed };
  // With every piece proven the whole file is too: it is not hashed again.
  Outcome FinishWhole() {
    if (!whole_) return Outcome::Matches;
    Digest digest;
    if (!whole_->Finish(&digest)) return Outcome::Failed;
    return digests_.whole && digest == *digests_.whole ? Outcome::Matches : Outcome::Differs;
  }

 private:
  const SetDigests& digests_;
  std::optional<platform::Sha256> piece_;
  std::optional<platform::Sha256> whole_;
  int differing_ = 0;
};

}  // namespace

bool JoinPieces(const app::RunOptions& options, app::RunState& state) {
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

  // The checksum file is looked for once, before anything is asked.
  SetDigests digests;
  const path::Shown checksumShown = pieceFolder.ShownOf(ChecksumElement(names));
  const ChecksumRead checksumRead = ReadChecksumFile(names, &digests);
  if (checksumRead == ChecksumRead::Unreadable ||
      (checksumRead == ChecksumRead::Absent && options.checksum) ||
      (!digests.pieces.empty() && !ListsPiecesExactly(digests, count))) {
    return Fail(text::ChecksumUnreadable, checksumShown);
  }
  std::optional<JoinCheck> check;
  if (checksumRead == ChecksumRead::Read) check.emplace(digests);

  const path::Place outputFolder(options.destFolder);
  const std::string& outputElement = set.stem;
  const path::Shown outputShown = outputFolder.ShownOf(outputElement);
  path::FileHandle output(&outputFolder.Handle());
  const WriteTarget target = CheckWriteTarget(outputFolder, outputElement, state);
  const auto outputIsAPiece = [&] {
    return OutputIsAPiece(outputFolder, outputElement, names, survey);
  };
  TemporaryOutput temporary(outputFolder, output);
  if (check) {
    if (target == WriteTarget::Stop) return Fail(text::JoinStopped, outputShown);
    if (!path::IsValidPath(outputFolder.PathOf(outputElement).c_str()) ||
        (target == WriteTarget::Replace && outputIsAPiece()) || !temporary.Create()) {
      return Fail(text::FileOpenFailed, outputShown);
    }
  } else {
    switch (
        OpenToWrite(output, outputFolder, outputElement, target, state, nullptr, outputIsAPiece)) {
      case WriteOpen::Stopped:
        return Fail(text::JoinStopped, outputShown);
      case WriteOpen::Failed:
        return Fail(text::FileOpenFailed, outputShown, output.LastFailure());
      case WriteOpen::Opened:
      case WriteOpen::Replaced:
        break;
    }
  }

  platform::DirEntry first;
  if (!pieceFolder.Lookup(names.Element(1), &first) || first.isFolder || first.size > LargestSize) {
    return Fail(text::FirstPieceSizeFailed, names.Shown(1));
  }
  auto size = static_cast<std::uint32_t>(first.size);
  ChunkCopier copier(check ? std::optional(InspectorOf(*check)) : std::nullopt);
  if (!copier.Reserve(size)) return Fail(text::OutOfMemory);
  const auto refused = [&] {
    if (check->Differing() != 0) {
      return Fail(text::PieceChecksumMismatch, names.Shown(check->Differing()));
    }
    return Fail(text::ChecksumFailed);
  };

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
    const std::optional<std::uint64_t> pieceSize = piece.OpenedSize();
    if (!pieceSize || *pieceSize > LargestSize) return Fail(text::PieceSizeFailed, shown);
    size = static_cast<std::uint32_t>(*pieceSize);
    sizes.push_back(size);
    // Pieces made by other tools may grow from one to the next: the block
    // may move then.
    if (!copier.Reserve(size)) return Fail(text::OutOfMemory);
    switch (copier.CopyPiece(i, piece, output, size, [] {})) {
      case ChunkCopier::Outcome::ReadShort:
        return Fail(text::PieceReadFailed, shown, piece.LastFailure());
      case ChunkCopier::Outcome::WriteShort:
        return Fail(text::JoinedWriteFailed, outputShown, output.LastFailure());
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
  if (check) {
    const JoinCheck::Outcome outcome = check->FinishWhole();
    if (outcome == JoinCheck::Outcome::Failed) return Fail(text::ChecksumFailed);
    if (outcome == JoinCheck::Outcome::Differs) {
      return Fail(text::JoinedChecksumMismatch, outputShown);
    }
    // An output that appeared meanwhile is asked about as any other.
    if (target == WriteTarget::New && outputFolder.Exists(outputElement) &&
        CheckWriteTarget(outputFolder, outputElement, state) == WriteTarget::Stop) {
      return Fail(text::JoinStopped, outputShown);
    }
    if (!temporary.Commit(outputElement)) return Fail(text::FileOpenFailed, outputShown);
  }
  output.Close();
  // Joined byte for byte all the same; the user is told which piece looks
  // as if it came from another set or was cut short. A checksum file that
  // matches has said every piece is the right one.
  if (const int odd = OddSizedPiece(sizes); odd != 0 && !check) {
    app::PrintFailure(text::PieceSizeDiffers, names.Shown(odd));
  }
  app::PrintLine(text::JoinFinished);
  return true;
}

}  // namespace pieces
