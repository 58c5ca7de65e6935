#include "pieces/piece_names.h"

#include <cstring>
#include <string>
#include <vector>

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

// Lookups a count makes before it lists the folder instead: a few pieces
// never cost a listing of a large folder.
constexpr int LookupsBeforeListing = 8;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// What one listing of the set's folder shows, by piece number.
struct Listing {
  enum Seen : char { Absent, Plain, Unsure };
  bool complete = false;  // the whole folder was listed
  std::vector<Seen> seen = std::vector<Seen>(MaxPieces + 1, Absent);
};

Listing ListPieces(const PieceNamer& names) {
  Listing listing;
  const std::string& stem = names.Stem();
  const bool anyCase = path::Place::IgnoresCase();
  // A listing cut short still names files that are there.
  listing.complete = names.Place().ListFiles([&](const char* name, bool plain) {
    // The file system decides whether a name is the stem's; the number is
    // ASCII, which only a Windows system reads in any case.
    if (std::strlen(name) != stem.size() + SuffixLength ||
        !path::Place::SameElement(std::string(name, stem.size()), stem)) {
      return;
    }
    char suffix[SuffixLength + 1];
    for (std::size_t i = 0; i <= SuffixLength; ++i) {
      const char c = name[stem.size() + i];
      suffix[i] = anyCase ? FoldAscii(c) : c;
    }
    const int n = PieceNumberOf(suffix);
    if (n == 0) return;
    auto& seen = listing.seen[static_cast<std::size_t>(n)];
    // Two names of one number in different cases: the lookup decides.
    seen = (plain && seen == Listing::Absent) ? Listing::Plain : Listing::Unsure;
  });
  return listing;
}

// What is at a piece's name: a file there, or a link to one, is a piece;
// a link that points nowhere, a folder or a FIFO is none.
PieceSlot SlotOf(const PieceNamer& names, int n) {
  platform::DirEntry entry;
  if (!names.Place().Lookup(names.Element(n), &entry)) return PieceSlot::Empty;
  if (entry.isDangling) return PieceSlot::Dangling;
  if (entry.isFolder || entry.isSpecial) return PieceSlot::NotAFile;
  return PieceSlot::File;
}

// A name an older set left: a file or a link, one pointing nowhere too.
bool PieceThere(const PieceNamer& names, int n) {
  return names.Place().FileExists(names.Element(n));
}

int Count(const PieceNamer& names, Listing* listing, bool* listed, PieceSlot* stop = nullptr) {
  // Past a few pieces one listing answers for the rest: a name it shows as
  // a plain file needs no lookup. Every other one (a link, a name stored in
  // another case, the first one missing) is still looked up by name.
  int k = 0;
  for (; k < MaxPieces; ++k) {
    if (k == LookupsBeforeListing) {
      *listing = ListPieces(names);
      *listed = true;
    }
    if (*listed && listing->seen[static_cast<std::size_t>(k + 1)] == Listing::Plain) continue;
    const PieceSlot slot = SlotOf(names, k + 1);
    if (slot != PieceSlot::File) {
      if (stop != nullptr) *stop = slot;
      break;
    }
  }
  return k;
}

std::vector<int> Above(const PieceNamer& names, int n, const Listing& listing, bool firstOnly) {
  std::vector<int> found;
  for (int i = n + 1; i <= MaxPieces; ++i) {
    const auto seen = listing.seen[static_cast<std::size_t>(i)];
    // Where the folder could not be listed whole, every number is asked.
    const bool there = seen == Listing::Plain ||
                       ((seen == Listing::Unsure || !listing.complete) && PieceThere(names, i));
    if (!there) continue;
    found.push_back(i);
    if (firstOnly) break;
  }
  return found;
}

}  // namespace

PieceSetName PiecesOfRun(const app::RunOptions& options) {
  path::PathParts parts;
  parts.Decompose(options.sourcePath);
  PieceSetName set;
  if (options.mode == app::ModeDivide) {
    set.folder = options.destFolder;
    set.stem = std::string(parts.Fname()) + parts.Ext();
  } else {
    set.folder = std::string(parts.Server()) + parts.Share() + parts.Drive() + parts.Dir();
    set.stem = parts.Fname();
  }
  set.full = path::Place::FullForm(set.folder);
  return set;
}

RunFiles::RunFiles(const app::RunOptions& options)
    : options_(options),
      set_(PiecesOfRun(options)),
      destinationFull_(options.destFolder == set_.folder
                           ? set_.full
                           : path::Place::FullForm(options.destFolder)) {}

const PieceNamer& RunFiles::Names() {
  if (!names_) {
    pieceFolder_.emplace(set_.folder, set_.full);
    names_.emplace(*pieceFolder_, set_.stem);
  }
  return *names_;
}

const path::Place& RunFiles::Destination() {
  if (!destination_) {
    // The pieces' folder under the destination's own name: messages show
    // each as given.
    if (!destinationFull_.empty() && destinationFull_ == set_.full) {
      destination_.emplace(options_.destFolder, Names().Place());
    } else {
      destination_.emplace(options_.destFolder, destinationFull_);
    }
  }
  return *destination_;
}

std::string PieceNamer::Element(int n) const {
  if (!IsPieceNumber(n)) return std::string();
  return stem_ + PieceSuffix(n);
}

std::string PieceNamer::Path(int n) const {
  return IsPieceNumber(n) ? place_.PathOf(Element(n)) : std::string();
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

char* MakePieceName(const app::RunOptions& options, char* buffer, int n) {
  const PieceSetName set = PiecesOfRun(options);
  const path::Place place(set.folder);
  const std::string element = PieceNamer(place, set.stem).Element(n);
  std::string given = place.Typed() + element;
  if (!place.FitsAsTyped(element)) given.clear();
  std::memcpy(buffer, given.c_str(), given.size() + 1);
  return buffer;
}

PieceSurvey SurveyPieces(const PieceNamer& names) {
  Listing listing;
  bool listed = false;
  PieceSurvey survey;
  survey.count = Count(names, &listing, &listed, &survey.stop);
  // No piece lies above the last number there can be.
  const bool lookAbove = survey.count < MaxPieces - 1;
  if (!listed && lookAbove) {
    listing = ListPieces(names);
    listed = true;
  }
  if (lookAbove) {
    const std::vector<int> above = Above(names, survey.count + 1, listing, true);
    if (!above.empty()) survey.firstAfterGap = above.front();
  }
  survey.listedPlain.assign(static_cast<std::size_t>(survey.count) + 1, false);
  for (int n = 1; listed && n <= survey.count; ++n) {
    survey.listedPlain[static_cast<std::size_t>(n)] =
        listing.seen[static_cast<std::size_t>(n)] == Listing::Plain;
  }
  return survey;
}

std::vector<int> PiecesAbove(const PieceNamer& names, int n) {
  return Above(names, n, ListPieces(names), false);
}

}  // namespace pieces
