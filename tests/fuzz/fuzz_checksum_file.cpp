// A checksum file's text, as a join reads it from whoever wrote it: whatever
// it accepts, written again line by line, reads back as the same entries;
// matching takes each piece and the whole file at most once.
#include <string_view>

#include "fuzz_common.h"
#include "pieces/checksum_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<pieces::ChecksumEntry> entries;
  std::size_t badLine = 0;
  if (!pieces::ParseChecksumFile(text, &entries, &badLine)) {
    FUZZ_CHECK(badLine >= entries.size() + 1);  // blank and comment lines are no entries
    return 0;
  }
  std::string written;
  for (const auto& entry : entries) {
    FUZZ_CHECK(!entry.name.empty() && entry.name.find('\0') == std::string::npos);
    written += pieces::ChecksumLine(entry.digest, entry.name);
  }
  std::vector<pieces::ChecksumEntry> again;
  FUZZ_CHECK(pieces::ParseChecksumFile(written, &again) && again.size() == entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FUZZ_CHECK(again[i].name == entries[i].name && again[i].digest == entries[i].digest);
  }
  pieces::SetDigests digests;
  std::size_t badEntry = 0;
  if (pieces::MatchChecksums(entries, "a", "a", &digests, &badEntry)) {
    FUZZ_CHECK(digests.pieces.size() + (digests.whole ? 1 : 0) == entries.size());
  } else {
    FUZZ_CHECK(badEntry < entries.size());
  }
  return 0;
}
