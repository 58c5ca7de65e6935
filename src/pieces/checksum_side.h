// The checksum file beside a set of pieces, NAME.EXT.sha256: found and read
// through the pieces' folder, and its digests matched to the set.
#pragma once

#include <cstdint>
#include <string>

#include "pieces/checksum_file.h"
#include "pieces/piece_names.h"
#include "platform/platform.h"

namespace pieces {

// The checksum file's element beside the pieces of `names`.
std::string ChecksumElement(const PieceNamer& names);

// The whole file's name as a checksum file writes it (UTF-8); false when
// the name cannot be converted.
bool ChecksumName(const PieceNamer& names, std::string* utf8);

enum class ChecksumRead {
  Absent,      // no such file
  Read,        // its digests are in *digests
  Unreadable,  // something there that cannot be read, or lists nothing
  BadLine,     // a line that gives no digest of the whole file or of a piece
};

struct ChecksumReport {
  platform::Failure failure;  // why a file there could not be read
  std::size_t badLine = 0;    // from 1, for BadLine
};

// Looks for the checksum file once and reads it line by line, however long:
// every line must give a digest of the whole file or of one of its pieces,
// once.
ChecksumRead ReadChecksumFile(const PieceNamer& names, SetDigests* digests,
                              ChecksumReport* report = nullptr);

// Prints the failure a read other than Absent or Read stands for.
bool FailChecksumRead(ChecksumRead read, const PieceNamer& names, const ChecksumReport& report);

// With piece lines: every piece listed that is not there, and every piece
// there (`survey`, and any beyond a gap) that is not listed, each named on
// a line of its own. True when there is none.
bool ListingAgrees(const PieceNamer& names, const PieceSurvey& survey, const SetDigests& digests);

// Gives up on a hash that failed: memory short is said as such, any other
// failure of the library with its cause.
bool FailHash(const platform::Failure& failure);

}  // namespace pieces
