#include "pieces/checksum_side.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/output.h"
#include "path/file_handle.h"
#include "path/path_rules.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace pieces {

namespace {

constexpr std::uint32_t ReadBlock = 64 * 1024;
// The longest line a set's checksum file can hold: a name of a whole path,
// every byte escaped, and the digest.
constexpr std::size_t LongestLine = 2 * text::PathCapacity + 128;

}  // namespace

std::string ChecksumElement(const PieceNamer& names) { return names.Stem() + ChecksumFileSuffix; }

bool ChecksumName(const PieceNamer& names, std::string* utf8) {
  return !names.Stem().empty() && path::PathTextToUtf8(names.Stem(), utf8);
}

ChecksumRead ReadChecksumFile(const PieceNamer& names, SetDigests* digests,
                              ChecksumReport* report) {
  ChecksumReport unused;
  if (report == nullptr) report = &unused;
  *digests = SetDigests{};
  const std::string element = ChecksumElement(names);
  platform::DirEntry entry;
  if (!names.Place().Lookup(element, &entry)) return ChecksumRead::Absent;
  std::string wholeName;
  if (!ChecksumName(names, &wholeName)) return ChecksumRead::Unreadable;
  // A folder or a FIFO is refused by the open, which says why.
  path::FileHandle file;
  const path::Done opened = names.Place().Open(file, element, platform::OpenMode::Read);
  if (!opened) {
    report->failure = opened.failure;
    return ChecksumRead::Unreadable;
  }
  // Read in blocks and taken a line at a time: the lines of a set of many
  // pieces with long names may run to megabytes.
  std::vector<char> block(ReadBlock);
  std::string line;
  std::size_t number = 0;
  bool entries = false;
  const auto take = [&] {
    ++number;
    ChecksumEntry parsed;
    switch (ParseChecksumLine(line, number == 1, &parsed)) {
      case ChecksumLineKind::Skipped:
        break;
      case ChecksumLineKind::Entry:
        if (MatchChecksum(parsed, wholeName, wholeName, digests)) {
          entries = true;
          break;
        }
        [[fallthrough]];
      case ChecksumLineKind::Bad:
        report->badLine = number;
        return false;
    }
    line.clear();
    return true;
  };
  // The open file's own size: the name may have been given to another
  // file since the lookup. A read that ends before it failed.
  const std::optional<std::uint64_t> size = file.OpenedSize();
  if (!size) return ChecksumRead::Unreadable;
  for (std::uint64_t left = *size; left != 0;) {
    const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, ReadBlock));
    const path::Moved read = file.Read(block.data(), want);
    if (read != want) {
      report->failure = read.failure;
      return ChecksumRead::Unreadable;
    }
    left -= want;
    for (std::uint32_t i = 0; i < want; ++i) {
      if (block[i] != '\n') {
        // No line of a set is this long: it is no checksum line.
        if (line.size() == LongestLine) {
          report->badLine = number + 1;
          return ChecksumRead::BadLine;
        }
        line += block[i];
      } else if (!take()) {
        return ChecksumRead::BadLine;
      }
    }
  }
  if (!line.empty() && !take()) return ChecksumRead::BadLine;
  return entries ? ChecksumRead::Read : ChecksumRead::Unreadable;
}

bool FailChecksumRead(ChecksumRead read, const PieceNamer& names, const ChecksumReport& report) {
  const path::Shown shown = names.Place().ShownOf(ChecksumElement(names));
  if (read == ChecksumRead::BadLine) {
    const std::string number = std::to_string(report.badLine);
    app::PrintFailure(text::ChecksumLineUnreadable, shown, {}, nullptr, number.c_str());
    return false;
  }
  return app::Fail(text::ChecksumUnreadable, shown, report.failure);
}

bool ListingAgrees(const PieceNamer& names, const PieceSurvey& survey, const SetDigests& digests) {
  if (digests.pieces.empty()) return true;
  std::set<int> there;
  for (int n = 1; n <= survey.count; ++n) there.insert(n);
  if (survey.firstAfterGap != 0) {
    for (int n : PiecesAbove(names, survey.count + 1)) there.insert(n);
  }
  bool agrees = true;
  for (const auto& [n, digest] : digests.pieces) {
    if (there.count(n) != 0) continue;
    agrees = app::Fail(text::PieceMissing, names.Shown(n), path::NotFound());
  }
  const path::Shown checksumShown = names.Place().ShownOf(ChecksumElement(names));
  for (int n : there) {
    if (digests.pieces.count(n) != 0) continue;
    app::PrintFailure(text::PieceNotListed, names.Shown(n), {}, nullptr, checksumShown);
    agrees = false;
  }
  return agrees;
}

bool FailHash(const platform::Failure& failure) {
  if (path::IsMemoryShort(failure)) return app::Fail(text::OutOfMemory);
  return app::Fail(text::ChecksumFailed, {}, failure);
}

}  // namespace pieces
