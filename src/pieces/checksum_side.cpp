#include "pieces/checksum_side.h"

#include <vector>

#include "app/output.h"
#include "path/file_handle.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace pieces {

std::string ChecksumElement(const PieceNamer& names) { return names.Stem() + ChecksumFileSuffix; }

bool ChecksumName(const PieceNamer& names, std::string* utf8) {
  return !names.Stem().empty() && platform::PathTextToUtf8(names.Stem(), utf8);
}

ChecksumRead ReadChecksumFile(const PieceNamer& names, SetDigests* digests,
                              platform::Failure* failure) {
  const std::string element = ChecksumElement(names);
  platform::DirEntry entry;
  if (!names.Place().Lookup(element, &entry)) return ChecksumRead::Absent;
  if (entry.size > LargestChecksumFile) return ChecksumRead::Unreadable;
  // A folder or a FIFO is refused by the open, which says why.
  path::FileHandle file(&names.Place().Handle());
  const std::string name = names.Place().PathOf(element);
  if (name.empty() || file.Open(name.c_str(), platform::OpenMode::Read) == platform::InvalidFile) {
    if (failure != nullptr) *failure = file.LastFailure();
    return ChecksumRead::Unreadable;
  }
  // The open file's own size: the name may have been given to another
  // file since the lookup.
  const std::optional<std::uint64_t> opened = file.OpenedSize();
  if (!opened || *opened > LargestChecksumFile) return ChecksumRead::Unreadable;
  const auto size = static_cast<std::uint32_t>(*opened);
  std::string text(size, '\0');
  if (size != 0 && file.Read(text.data(), size) != size) return ChecksumRead::Unreadable;
  std::vector<ChecksumEntry> entries;
  std::string wholeName;
  if (!ParseChecksumFile(text, &entries) || entries.empty() || !ChecksumName(names, &wholeName) ||
      !MatchChecksums(entries, wholeName, wholeName, digests)) {
    return ChecksumRead::Unreadable;
  }
  return ChecksumRead::Read;
}

bool FailHash(const platform::Failure& failure) {
  if (platform::IsMemoryShort(failure)) return app::Fail(text::OutOfMemory);
  return app::Fail(text::ChecksumFailed, {}, failure);
}

}  // namespace pieces
