#include "pieces/piece_names.h"

#include <cstring>
#include <string>

#include "app/run_options.h"
#include "path/file_system.h"
#include "path/path_parts.h"
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

char* MakePieceName(char* buffer, int n) { return PieceNamer().WriteName(buffer, n); }

int CountPieces() {
  PieceNamer names;
  char name[text::PathCapacity];
  int k = 0;
  while (k < MaxPieces && path::FileExists(names.WriteName(name, k + 1))) ++k;
  return k;
}

}  // namespace pieces
