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

// One line without its line end.
bool ParseLine(std::string_view line, ChecksumEntry* entry) {
  if (line.find('\0') != line.npos) return false;
  const bool escaped = !line.empty() && line[0] == '\\';
  if (escaped) line.remove_prefix(1);
  if (line.size() < HexLength + 3 || !ReadDigestHex(line.substr(0, HexLength), &entry->digest) ||
      line[HexLength] != ' ' || (line[HexLength + 1] != ' ' && line[HexLength + 1] != '*'))
    return false;
  const std::string_view name = line.substr(HexLength + 2);
  if (!escaped) {
    entry->name = name;
    return true;
  }
  return Unescape(name, &entry->name);
}

}  // namespace

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
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == text.npos ? text.size() : end + 1);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    ChecksumEntry entry;
    if (!ParseLine(line, &entry)) {
      if (badLine != nullptr) *badLine = entries->size() + 1;
      return false;
    }
    entries->push_back(std::move(entry));
  }
  return true;
}

bool MatchChecksums(const std::vector<ChecksumEntry>& entries, const std::string& wholeName,
                    const std::string& stem, SetDigests* digests, std::size_t* badEntry) {
  *digests = SetDigests{};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].name;
    bool fresh = false;
    if (name == wholeName) {
      fresh = !digests->whole.has_value();
      digests->whole = entries[i].digest;
    } else if (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0) {
      const int n = PieceNumberOf(name.c_str() + stem.size());
      fresh = n > 0 && digests->pieces.emplace(n, entries[i].digest).second;
    }
    if (!fresh) {
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
