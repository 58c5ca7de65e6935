#include "pieces/piece_set.h"

#include "app/questions.h"
#include "path/place.h"
#include "pieces/checksum_side.h"
#include "pieces/checksums.h"
#include "text/texts.h"

namespace pieces {

using app::Fail;

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

bool AgreedToOddSizes(const PieceNamer& names, const std::vector<std::uint64_t>& sizes) {
  const OddSize odd(names, sizes);
  if (!odd.Found()) return true;
  const app::YesNo answer = app::AskYesNo({{text::AskJoinAnyway}});
  if (answer == app::YesNo::Yes) return true;
  // The sizes are why nothing was joined; without a console nobody said no.
  odd.Report(answer == app::YesNo::NoConsole ? text::ReasonOddSizesNoOneToAsk : nullptr);
  return false;
}

bool SetComplete(const PieceNamer& names, const PieceSurvey& survey, bool required,
                 SetDigests* digests, bool* checked) {
  const int count = survey.count;
  // Something at a piece's name that cannot be read: joining up to it
  // would give a shorter file and report success.
  if (survey.stop == PieceSlot::NotAFile) return Fail(text::PieceNotAFile, names.Shown(count + 1));
  if (survey.stop == PieceSlot::Dangling) {
    return Fail(text::PieceMissing, names.Shown(count + 1), path::NotFound());
  }
  if (count == 0) return Fail(text::FirstPieceMissing, names.Shown(1));
  // The checksum file is looked for once, before anything is asked. Its
  // piece lines say which pieces are missing or stray, every one of them.
  ChecksumReport report;
  const ChecksumRead read = ReadChecksumFile(names, digests, &report);
  if (read == ChecksumRead::Absent && required) {
    return Fail(text::ChecksumUnreadable, names.Place().ShownOf(ChecksumElement(names)),
                path::NotFound());
  }
  if (read != ChecksumRead::Absent && read != ChecksumRead::Read) {
    return FailChecksumRead(read, names, report);
  }
  if (!ListingAgrees(names, survey, *digests)) return false;
  if (count == 1) return Fail(text::SecondPieceMissing, names.Shown(2));
  if (survey.firstAfterGap != 0) return Fail(text::PieceMissing, names.Shown(count + 1));
  *checked = read == ChecksumRead::Read;
  return true;
}

bool VerifyPieces(const app::RunOptions& options, RunFiles& files) {
  const PieceNamer& names = files.Names();
  const PieceSurvey survey = SurveyPieces(names);
  const int count = survey.count;
  // Each problem has said itself, on standard error too.
  const auto problems = [] {
    app::PrintLine(text::VerifyFoundProblems);
    return false;
  };
  // The set as a join finds it: every problem it would refuse.
  SetDigests digests;
  bool checked = false;
  if (!SetComplete(names, survey, options.checksum, &digests, &checked)) return problems();
  // Every piece read, with the checksum file every line checked; without
  // one the sizes are what a join would ask about.
  std::vector<std::uint64_t> sizes;
  if (!CheckPieces(names, 1, count, checked ? &digests : nullptr, path::Shown{"", names.Stem()},
                   &sizes, true)) {
    return problems();
  }
  if (!checked) {
    const OddSize odd(names, sizes);
    if (odd.Found()) {
      odd.Report(nullptr);
      return problems();
    }
    app::PrintLine(text::VerifySoundUnchecked);
    return true;
  }
  const std::string number = std::to_string(survey.count);
  app::Print(text::VerifyMatched, number.c_str(), names.Place().ShownOf(ChecksumElement(names)));
  return true;
}

}  // namespace pieces
