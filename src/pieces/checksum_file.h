// The checksum file of a set of pieces, NAME.EXT.sha256, in the format that
// `sha256sum -c` reads: one line a piece in order, then one for the whole
// file. Names are UTF-8; a name with a backslash, a line feed or a carriage
// return is escaped as GNU sha256sum escapes it. Text in, text out: reading
// and writing the file is the caller's.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace pieces {

using platform::Digest;

// The checksum file's name is the whole file's with this after it.
inline constexpr const char* ChecksumFileSuffix = ".sha256";

// 64 lowercase hexadecimal digits.
std::string DigestHex(const Digest& digest);
// Exactly 64 hexadecimal digits, either case.
bool ReadDigestHex(std::string_view hex, Digest* digest);

// One line of the file, its line feed included: "HEX  NAME\n", or
// "\HEX  NAME\n" with \\, \n and \r in the name when it needs escaping.
std::string ChecksumLine(const Digest& digest, const std::string& utf8Name);

struct ChecksumEntry {
  std::string name;  // UTF-8, unescaped
  Digest digest{};
};

enum class ChecksumLineKind { Entry, Skipped, Bad };

// One line of a checksum file without its line feed, as sha256sum -c reads
// it: "HEX NAME" with a blank or a tab after the digest, then optionally a
// blank or `*`; or "SHA256 (NAME) = HEX"; either escaped. The digest is in
// either case. A CR at the end, and on the `first` line a UTF-8 byte-order
// mark, are no part of it. Blank lines and # comments are Skipped.
ChecksumLineKind ParseChecksumLine(std::string_view line, bool first, ChecksumEntry* entry);

// Every entry of a checksum file's text, in order. Lines end in LF or CRLF,
// the last may have no line end. False at the first Bad line: *badLine,
// where given, is its number from 1.
bool ParseChecksumFile(std::string_view text, std::vector<ChecksumEntry>* entries,
                       std::size_t* badLine = nullptr);

// The digests a checksum file gives one set of pieces.
struct SetDigests {
  std::map<int, Digest> pieces;  // by piece number, 1 ... MaxPieces
  std::optional<Digest> whole;
};

// Adds one entry to the digests of the set whose whole file is `wholeName`
// and whose pieces are `stem` followed by .001 ... .zzz (both UTF-8,
// without a folder; ./ before a name is nothing). False when it names
// anything else, or names a piece or the whole file a second time.
bool MatchChecksum(const ChecksumEntry& entry, const std::string& wholeName,
                   const std::string& stem, SetDigests* digests);
// Every entry, in order: *badEntry, where given, is the index of the first
// that does not match.
bool MatchChecksums(const std::vector<ChecksumEntry>& entries, const std::string& wholeName,
                    const std::string& stem, SetDigests* digests, std::size_t* badEntry = nullptr);

// Whether the pieces with a digest are exactly 1 ... count.
bool ListsPiecesExactly(const SetDigests& digests, int count);

}  // namespace pieces
