#include "pieces/piece_names.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "path/file_system.h"
#include "path/path_parts.h"
#include "platform/common/path_text.h"
#include "platform/platform.h"

namespace pieces {

namespace {

// Writes ".nnn" and its zero byte at `out`.
void WriteSuffix(int n, char* out) {
  out[0] = '.';
  if (n < 1000) {  // "%03d"
    out[1] = static_cast<char>('0' + n / 100);
    out[2] = static_cast<char>('0' + n / 10 % 10);
    out[3] = static_cast<char>('0' + n % 10);
  } else {
    int m = n - 1000;
    out[1] = static_cast<char>('a' + (m / 676) % 26);
    out[2] = static_cast<char>('a' + (m / 26) % 26);
    out[3] = static_cast<char>('a' + m % 26);
  }
  out[4] = '\0';
}

constexpr std::size_t SuffixLength = 4;

bool IsPieceNumber(int n) { return n >= 0 && n <= MaxPieces; }

// Lookups a count makes before it lists the folder instead: a few pieces
// never cost a listing of a large folder.
constexpr int LookupsBeforeListing = 8;

// Which pieces the folder lists as plain files, by number.
std::vector<bool> ListedPieces(const PieceNamer& names) {
  std::vector<bool> listed(MaxPieces + 1, false);
  char first[text::PathCapacity];
  const char* leaf = platform::LastElement(names.WriteName(first, 1));
  if (std::strlen(leaf) < SuffixLength) return listed;
  const std::size_t stemLength = std::strlen(leaf) - SuffixLength;
  const platform::Folder folder(first);
  // A listing cut short still names files that are there.
  platform::ListFiles(folder, [&](const char* name) {
    if (std::strlen(name) == stemLength + SuffixLength &&
        std::memcmp(name, leaf, stemLength) == 0) {
      listed[static_cast<std::size_t>(PieceNumberOf(name + stemLength))] = true;
    }
  });
  return listed;
}

}  // namespace

PieceNamer::PieceNamer() {
  const app::RunOptions& options = app::g_runOptions;
  path::PathParts parts;
  parts.Decompose(options.sourcePath);
  if (options.mode == app::ModeDivide) {
    stem_ = std::string(options.destFolder) + parts.Fname() + parts.Ext();
  } else {
    stem_ =
        std::string(parts.Server()) + parts.Share() + parts.Drive() + parts.Dir() + parts.Fname();
  }
}

char* PieceNamer::WriteName(char* buffer, int n) const {
  buffer[0] = '\0';
  if (!IsPieceNumber(n) || stem_.size() + SuffixLength >= platform::PathLimit()) return buffer;
  std::memcpy(buffer, stem_.data(), stem_.size());
  WriteSuffix(n, buffer + stem_.size());
  return buffer;
}

std::string PieceNamer::NameForMessage(int n) const {
  if (!IsPieceNumber(n)) return std::string();
  return stem_ + PieceSuffix(n);
}

std::string PieceSuffix(int n) {
  char suffix[SuffixLength + 1];
  WriteSuffix(n, suffix);
  return suffix;
}

int PieceNumberOf(const char* suffix) {
  if (std::strlen(suffix) != SuffixLength || suffix[0] != '.') return 0;
  const char* c = suffix + 1;
  const auto all = [c](char low, char high) {
    return c[0] >= low && c[0] <= high && c[1] >= low && c[1] <= high && c[2] >= low &&
           c[2] <= high;
  };
  if (all('0', '9')) return (c[0] - '0') * 100 + (c[1] - '0') * 10 + (c[2] - '0');
  if (all('a', 'z')) return 1000 + (c[0] - 'a') * 676 + (c[1] - 'a') * 26 + (c[2] - 'a');
  return 0;
}

char* MakePieceName(char* buffer, int n) { return PieceNamer().WriteName(buffer, n); }

int CountPieces() {
  const PieceNamer names;
  char name[text::PathCapacity];
  // Past a few pieces one listing answers for the rest: a name it shows as
  // a plain file needs no lookup. Every other one (a link, a name stored in
  // another case, the first one missing) is still looked up by name. The
  // pieces' names differ only in their numbers, so the first ones passing
  // the path rules means they all do.
  std::vector<bool> listed;
  int k = 0;
  for (; k < MaxPieces; ++k) {
    if (k == LookupsBeforeListing) listed = ListedPieces(names);
    const auto n = static_cast<std::size_t>(k + 1);
    if (n < listed.size() && listed[n]) continue;
    if (!path::FileExists(names.WriteName(name, k + 1))) break;
  }
  return k;
}

}  // namespace pieces
