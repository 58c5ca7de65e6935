// Checksums made and checked while the bytes pass: the lines a division
// writes for its pieces and the whole file, and a join's or a check's
// comparison of the pieces with the checksum file's lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "path/place.h"
#include "pieces/checksum_file.h"
#include "pieces/checksum_side.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
#include "platform/platform.h"

namespace pieces {

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
    return Kept(*piece_, piece_->Update(data, size)) && Kept(*whole_, whole_->Update(data, size));
  }
  bool FinishPiece(int n) {
    Digest digest;
    if (!named_) return true;
    if (!Kept(*piece_, piece_->Finish(&digest))) return false;
    text_ += ChecksumLine(digest, name_ + PieceSuffix(n));
    return true;
  }
  // The file's text, its last line the whole file's.
  bool Finish(std::string* text) {
    Digest digest;
    if (!Kept(*whole_, whole_->Finish(&digest))) return false;
    *text = text_ + ChecksumLine(digest, name_);
    return true;
  }
  // Why a hash failed.
  const platform::Failure& LastFailure() const { return failure_; }

 private:
  const PieceNamer& names_;
  bool wanted_;
  std::string name_;  // the whole file's, UTF-8
  bool named_ = false;
  std::optional<platform::Sha256> piece_;
  std::optional<platform::Sha256> whole_;
  std::string text_;
  platform::Failure failure_;

  bool Kept(const platform::Sha256& hash, bool done) {
    if (!done) failure_ = hash.LastFailure();
    return done;
  }
};

// Writes the checksum file after the pieces: false (the pieces stand) when
// it could not be.
bool WriteChecksumFile(ChecksumWriter& checksum, const path::Place& place, WriteTarget target,
                       app::RunState& state, platform::OpenedFiles* files);

// Reads pieces `from` ... `count` with their sizes, and against a checksum
// file's digests: every piece that has a line, and the whole file where it
// has one and the reading starts at piece 1. Every piece whose digest
// differs is named; false, with its message, when one does or a read fails.
bool CheckPieces(const PieceNamer& names, int from, int count, const SetDigests* digests,
                 const path::Shown& outputShown, std::vector<std::uint64_t>* sizes,
                 bool progress = false);

// What a join checks against a checksum file: every piece that has a line,
// else the whole file.
class JoinCheck {
 public:
  explicit JoinCheck(const SetDigests& digests) : digests_(digests) {
    if (digests_.whole) whole_.emplace();
    if (digests_.whole && !digests_.pieces.empty()) second_.emplace();
  }

  bool StartPiece() {
    if (!digests_.pieces.empty()) piece_.emplace();
    return true;
  }
  // With both kinds of line the whole file is hashed on a thread of its
  // own beside the piece: every line checked costs one hash's time.
  bool Add(const char* data, std::uint32_t size) {
    bool wholeDone = true;
    const auto hashWhole = [&] { wholeDone = whole_->Update(data, size); };
    const platform::Worker::Ticket ticket = whole_ && piece_ ? second_->Post(hashWhole) : 0;
    if (whole_ && !piece_) hashWhole();
    const bool pieceDone = !piece_ || piece_->Update(data, size);
    if (ticket != 0) second_->WaitFor(ticket);
    return (!piece_ || Kept(*piece_, pieceDone)) && (!whole_ || Kept(*whole_, wholeDone));
  }
  bool FinishPiece(int n) {
    if (!piece_) return true;
    Digest digest;
    const bool finished = Kept(*piece_, piece_->Finish(&digest));
    piece_.reset();
    if (finished && digest != digests_.pieces.at(n)) differing_ = n;
    return finished && differing_ == 0;
  }
  // The piece whose digest differs; 0 when none did (the hash failed).
  int Differing() const { return differing_; }

  enum class Outcome { Matches, Differs, Failed };
  // Every line is checked: the whole file's too, where it has one.
  Outcome FinishWhole() {
    if (!whole_) return Outcome::Matches;
    Digest digest;
    if (!Kept(*whole_, whole_->Finish(&digest))) return Outcome::Failed;
    return digest == *digests_.whole ? Outcome::Matches : Outcome::Differs;
  }
  // Why a hash failed.
  const platform::Failure& LastFailure() const { return failure_; }

 private:
  const SetDigests& digests_;
  std::optional<platform::Sha256> piece_;
  std::optional<platform::Sha256> whole_;
  int differing_ = 0;
  platform::Failure failure_;
  // Last, so that it ends before the hashes it feeds.
  std::optional<platform::Worker> second_;

  bool Kept(const platform::Sha256& hash, bool done) {
    if (!done) failure_ = hash.LastFailure();
    return done;
  }
};

}  // namespace pieces
