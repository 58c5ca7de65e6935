// The set as a join or a check takes it: every piece there and readable,
// the checksum file's lines agreeing with them, and pieces of odd size
// said and asked about.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/output.h"
#include "pieces/checksum_file.h"
#include "pieces/piece_names.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace pieces {

// A set cut by size has every piece but the last of the first one's size.
// The piece to name when one between them differs: the first that differs
// from piece 1, or piece 1 itself where all between agree with each other.
// 0 when nothing is odd; a last piece of any size is never odd (other tools
// make the last one the largest).
int OddSizedPiece(const std::vector<std::uint64_t>& sizes);

// The piece of odd size and the lines that say so; none when the sizes
// agree. `Report` writes them to standard error too, where `reason`, in an
// English run, is the cause.
class OddSize {
 public:
  OddSize(const PieceNamer& names, const std::vector<std::uint64_t>& sizes)
      : names_(names), odd_(OddSizedPiece(sizes)) {
    if (odd_ == 0) return;
    const auto size = [&](int n) { return std::to_string(sizes[static_cast<std::size_t>(n - 1)]); };
    differs_ = odd_ == 1 ? text::FirstPieceSizeDiffers : text::PieceSizeDiffers;
    oddSize_ = size(odd_);
    otherSize_ = size(odd_ == 1 ? 2 : 1);
    app::Print(differs_, names.Shown(odd_), oddSize_.c_str(), otherSize_.c_str());
    const int count = static_cast<int>(sizes.size());
    // The short piece is the last of a set, and a stray one follows it.
    if (odd_ != 1 && odd_ + 1 == count) {
      app::Print(text::PieceFollows, names.Shown(odd_), names.Shown(count));
    }
  }
  bool Found() const { return odd_ != 0; }
  void Report(const char* reason) const {
    const app::Subject oddPiece(names_.Shown(odd_));
    app::ReportFailure(oddPiece, app::FailureReason(differs_, oddPiece, reason, oddSize_.c_str(),
                                                    otherSize_.c_str()));
  }

 private:
  const PieceNamer& names_;
  int odd_;
  const char* differs_ = nullptr;
  std::string oddSize_, otherSize_;
};

// A piece cut short or taken from another set is asked about before its
// join counts as done; /Y answers only overwrite questions, and without a
// console nobody agreed. False: not joined.
bool AgreedToOddSizes(const PieceNamer& names, const std::vector<std::uint64_t>& sizes);

// The set as a join takes it: no unreadable or missing piece, and with a
// checksum file (`required` by /H) its lines readable and listing exactly
// the pieces there. `*digests` are its lines, `*checked` whether it has
// any. False, with every problem said, when the set is not whole.
bool SetComplete(const PieceNamer& names, const PieceSurvey& survey, bool required,
                 SetDigests* digests, bool* checked);

}  // namespace pieces
