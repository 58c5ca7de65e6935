#include "pieces/checksum_file.h"

#include "pieces/piece_names.h"

namespace pieces {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";
constexpr std::size_t HexLength = 2 * std::tuple_size_v<Digest>;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NeedsEscape(const std::string& name) {
  return name.find_first_of("\\\n\r") != std::string::npos;
}

// The name after an escaped line's mark: \\, \n and \r are the only escapes.
bool Unescape(std::string_view escaped, std::string* name) {
  name->clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      *name += escaped[i];
      continue;
    }
    if (++i == escaped.size()) return false;
    switch (escaped[i]) {
      case '\\':
        *name += '\\';
        break;
      case 'n':
        *name += '\n';
        break;
      case 'r':
        *name += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The name of a line sha256sum writes: the digest, a blank or a tab, and
// where the next is a blank or `*`, that mark; the name is the rest.
bool SplitGnuLine(std::string_view line, std::string_view* hex, std::string_view* name) {
  if (line.size() < HexLength + 2 || !IsBlank(line[HexLength])) return false;
  *hex = line.substr(0, HexLength);
  std::size_t start = HexLength + 1;
  if (line[start] == ' ' || line[start] == '*') ++start;
  *name = line.substr(start);
  return true;
}

// The name of a tag line, "SHA256 (NAME) = HEX" (sha256sum --tag).
bool SplitTagLine(std::string_view line, std::string_view* hex, std::string_view* name) {
  constexpr std::string_view Tag = "SHA256 (", Equals = ") = ";
  if (line.size() < Tag.size() + Equals.size() + HexLength || line.substr(0, Tag.size()) != Tag ||
      line.substr(line.size() - HexLength - Equals.size(), Equals.size()) != Equals) {
    return false;
  }
  *hex = line.substr(line.size() - HexLength);
  *name = line.substr(Tag.size(), line.size() - Tag.size() - Equals.size() - HexLength);
  return true;
}

}  // namespace

ChecksumLineKind ParseChecksumLine(std::string_view line, bool first, ChecksumEntry* entry) {
  // Notepad starts its UTF-8 files with a byte-order mark.
  constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
  if (first && line.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
    line.remove_prefix(ByteOrderMark.size());
  }
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line[0] == '#') return ChecksumLineKind::Skipped;
  if (line.find('\0') != line.npos) return ChecksumLineKind::Bad;
  const bool escaped = line[0] == '\\';
  if (escaped) line.remove_prefix(1);
  std::string_view hex, name;
  if ((!SplitTagLine(line, &hex, &name) && !SplitGnuLine(line, &hex, &name)) || name.empty() ||
      !ReadDigestHex(hex, &entry->digest)) {
    return ChecksumLineKind::Bad;
  }
  if (!escaped) {
    entry->name = name;
    return ChecksumLineKind::Entry;
  }
  return Unescape(name, &entry->name) ? ChecksumLineKind::Entry : ChecksumLineKind::Bad;
}

std::string DigestHex(const Digest& digest) {
  std::string hex;
  hex.reserve(HexLength);
  for (std::uint8_t byte : digest) {
    hex += HexDigits[byte >> 4];
    hex += HexDigits[byte & 15];
  }
  return hex;
}

bool ReadDigestHex(std::string_view hex, Digest* digest) {
  if (hex.size() != HexLength) return false;
  for (std::size_t i = 0; i < digest->size(); ++i) {
    const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

std::string ChecksumLine(const Digest& digest, const std::string& utf8Name) {
  if (!NeedsEscape(utf8Name)) return DigestHex(digest) + "  " + utf8Name + "\n";
  std::string line = "\\" + DigestHex(digest) + "  ";
  for (char c : utf8Name) {
    line += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  }
  return line + "\n";
}

bool ParseChecksumFile(std::string_view text, std::vector<ChecksumEntry>* entries,
                       std::size_t* badLine) {
  entries->clear();
  for (std::size_t number = 1; !text.empty(); ++number) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == text.npos ? text.size() : end + 1);
    ChecksumEntry entry;
    switch (ParseChecksumLine(line, number == 1, &entry)) {
      case ChecksumLineKind::Entry:
        entries->push_back(std::move(entry));
        break;
      case ChecksumLineKind::Skipped:
        break;
      case ChecksumLineKind::Bad:
        if (badLine != nullptr) *badLine = number;
        return false;
    }
  }
  return true;
}

bool MatchChecksum(const ChecksumEntry& entry, const std::string& wholeName,
                   const std::string& stem, SetDigests* digests) {
  std::string_view name = entry.name;
  // ./NAME is the same file to sha256sum -c.
  if (name.substr(0, 2) == "./") name.remove_prefix(2);
  if (name == wholeName) {
    if (digests->whole) return false;
    digests->whole = entry.digest;
    return true;
  }
  if (name.size() <= stem.size() || name.substr(0, stem.size()) != stem) return false;
  const int n = PieceNumberOf(std::string(name.substr(stem.size())).c_str());
  return n > 0 && digests->pieces.emplace(n, entry.digest).second;
}

bool MatchChecksums(const std::vector<ChecksumEntry>& entries, const std::string& wholeName,
                    const std::string& stem, SetDigests* digests, std::size_t* badEntry) {
  *digests = SetDigests{};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!MatchChecksum(entries[i], wholeName, stem, digests)) {
      if (badEntry != nullptr) *badEntry = i;
      return false;
    }
  }
  return true;
}

bool ListsPiecesExactly(const SetDigests& digests, int count) {
  return count >= 0 && digests.pieces.size() == static_cast<std::size_t>(count) &&
         (count == 0 || digests.pieces.rbegin()->first == count);
}

}  // namespace pieces
