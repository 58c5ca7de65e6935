// The checksum file beside a set of pieces, NAME.EXT.sha256: found and read
// through the pieces' folder, and its digests matched to the set.
#pragma once

#include <cstdint>
#include <string>

#include "pieces/checksum_file.h"
#include "pieces/piece_names.h"
#include "platform/platform.h"

namespace pieces {

// The largest checksum file read: far more than 18575 lines of a name as
// long as a path takes.
inline constexpr std::uint32_t LargestChecksumFile = 2 * 1024 * 1024;

// The checksum file's element beside the pieces of `names`.
std::string ChecksumElement(const PieceNamer& names);

// The whole file's name as a checksum file writes it (UTF-8); false when
// the name cannot be converted.
bool ChecksumName(const PieceNamer& names, std::string* utf8);

enum class ChecksumRead {
  Absent,      // no such file
  Read,        // its digests are in *digests
  Unreadable,  // something there that is no checksum file of this set
};

// Looks for the checksum file once: only a regular file of at most
// LargestChecksumFile bytes is read, and every line must give a digest of
// the whole file or of one of its pieces, once.
// `failure`, where given, says why a file there could not be opened.
ChecksumRead ReadChecksumFile(const PieceNamer& names, SetDigests* digests,
                              platform::Failure* failure = nullptr);

// Gives up on a hash that failed: memory short is said as such, any other
// failure of the library with its cause.
bool FailHash(const platform::Failure& failure);

}  // namespace pieces
