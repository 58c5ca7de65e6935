#include "entry/arguments.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/output.h"
#include "app/run_options.h"
#include "entry/entry.h"
#include "path/file_system.h"
#include "path/path_parts.h"
#include "path/path_rules.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace app {

namespace {

constexpr int MaxArgumentCount = 7;  // six arguments and the program name, /H aside

// The destination of an empty argument ("%DEST%" unset in a script): no
// folder, not the root. It stands as a text that every platform's path rules
// refuse, so the destination check fails.
constexpr char EmptyDestination[] = "\\\\\\";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at the start of `text` as the runtime's text-to-double
// conversion reads it, but decimal only: no hexadecimal, infinity or NaN.
// The decimal separator is the point or the locale's own (a comma in
// German), so that a size means the same whichever of them a user types.
double ReadDecimal(const char* text) {
  const char* localePoint = std::localeconv()->decimal_point;
  if (localePoint == nullptr || localePoint[0] == '\0') localePoint = ".";
  const std::size_t localeLength = std::strlen(localePoint);
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* begin = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (IsDigit(*p)) ++p, digits = true;
  std::string number(begin, static_cast<std::size_t>(p - begin));
  std::size_t separator = 0;
  if (*p == '.') {
    separator = 1;
  } else if (std::strncmp(p, localePoint, localeLength) == 0) {
    separator = localeLength;
  }
  if (separator > 0) {
    const char* afterPoint = p + separator;
    const char* q = afterPoint;
    while (IsDigit(*q)) ++q;
    if (digits || q > afterPoint) {
      digits = true;
      // The conversion below reads the locale's separator only.
      number += localePoint;
      number.append(afterPoint, static_cast<std::size_t>(q - afterPoint));
      p = q;
    }
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (IsDigit(*q)) {
      while (IsDigit(*q)) ++q;
      number.append(p, static_cast<std::size_t>(q - p));
    }
  }
  return std::strtod(number.c_str(), nullptr);
}

// The bytes of the unit a size option ends in, in any case: K, KB or KiB,
// and so for M, G and T, the ways people write sizes. Any other ending is
// text after the number, which leaves it in KiB (/700x, /100b).
double UnitBytes(const char* argument) {
  const struct {
    char letter;
    double bytes;
  } units[] = {{'k', 1024.0}, {'m', 1048576.0}, {'g', 1073741824.0}, {'t', 1099511627776.0}};
  const std::size_t length = std::strlen(argument);
  for (const auto& unit : units) {
    for (const char* tail : {"", "b", "ib"}) {
      const std::string suffix = unit.letter + std::string(tail);
      if (length > suffix.size() &&
          MatchesLowerCaseWord(argument + length - suffix.size(), suffix.c_str())) {
        return unit.bytes;
      }
    }
  }
  return 1024.0;
}

// The size option in KiB, or in the unit it ends in; /F the floppy size. A
// size beyond 64 bits stands as the largest, which the checks refuse.
std::uint64_t ReadPieceSize(const char* argument) {
  const char* number = argument + 1;
  if (MatchesLowerCaseWord(number, "f")) return FloppySize;
  double value = ReadDecimal(number);
  if (!(value > 0.0)) return 0;
  double bytes = value * UnitBytes(argument);
  if (bytes >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(std::trunc(bytes));
}

// `argument` as path text; `typed` as it was given, which names a source
// that is not there.
bool TakePath(const char* argument, const char* typed, RunOptions& options) {
  if (std::strlen(argument) >= platform::PathLimit()) return false;
  if (options.sourcePath[0] == '\0') {
    std::snprintf(options.sourceTyped, sizeof options.sourceTyped, "%s", typed);
    if (!path::ResolveSourcePath(argument, options.sourcePath)) {
      std::strcpy(options.sourcePath, UnresolvedSource);
    }
    // A short relative name in a deep folder can have a full form too long
    // to take apart: its pieces would be named without the name.
    path::PathParts parts;
    return !path::IsValidPath(options.sourcePath) || parts.Decompose(options.sourcePath);
  }
  if (argument[0] == '\0') {
    std::strcpy(options.destFolder, EmptyDestination);
    return true;
  }
  char folder[text::PathCapacity];
  std::strcpy(folder, argument);
  // A bare drive (D:) becomes its root (D:\): pieces named into its current
  // folder would read D:name.001, which the path rules refuse.
  if (path::AppendBackslash(folder) == nullptr) return false;
  std::strcpy(options.destFolder, folder);
  return true;
}

// The source that is not there (or is no file), named as the user typed
// it: the name it resolved to, if any, is not what was asked for. Shown
// as a name, never read as a path.
void PrintSourceNotFound(const RunOptions& options) {
  if (options.sourcePath[0] == '\0') {
    PrintFailure(text::SourceNotFound);
    return;
  }
  // What is there instead, where something is: a folder, or no regular
  // file (a FIFO, a device).
  const path::Shown typed{std::string(), options.sourceTyped};
  platform::DirEntry entry;
  const bool there =
      path::IsValidPath(options.sourcePath) && platform::LookupEntry(options.sourcePath, &entry);
  if (there && !entry.isFolder && entry.isSpecial) {
    PrintFailure(text::SourceNotFound, typed, {}, text::ReasonNotARegularFile);
    return;
  }
  PrintFailure(text::SourceNotFound, typed,
               !there           ? platform::NotFound()
               : entry.isFolder ? platform::IsAFolder()
                                : platform::Failure{});
}

// Read once, from the options alone: a size divides, else a batch option
// writes batch files, else the pieces are joined.
RunMode ModeOf(const RunOptions& options) {
  if (options.verify) return ModeVerify;
  if (options.sizeGiven) return ModeDivide;
  if (options.copyBatch || options.selfBatch) return ModeBatch;
  return ModeJoin;
}

}  // namespace

bool MatchesLowerCaseWord(const char* argument, const char* lowerCaseWord) {
  const char* a = argument;
  const char* b = lowerCaseWord;
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
    if (ca != *b) return false;
  }
  return *a == *b;
}

bool ParseArguments(int argc, const char* const* argv, RunOptions* parsed) {
  RunOptions& options = *parsed;
  // /H and /V came later than the others and do not count toward their limit.
  int counted = argc;
  for (int i = 1; i < argc; ++i) {
    counted -= MatchesLowerCaseWord(argv[i], "/h") || MatchesLowerCaseWord(argv[i], "/v") ? 1 : 0;
  }
  if (counted > MaxArgumentCount) return false;
  // The usage screen is shown whatever else is given: no other argument is
  // looked at, so none can make the run fail first.
  bool helpAsked = argc <= 1;
  for (int i = 1; i < argc; ++i) helpAsked = helpAsked || MatchesLowerCaseWord(argv[i], "/?");
  if (helpAsked) {
    options.showHelp = true;
    return true;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string pathText = platform::ArgumentToPathText(argv[i]);
    const char* argument = pathText.c_str();
    if (MatchesLowerCaseWord(argument, "/c")) {
      options.copyBatch = true;
    } else if (MatchesLowerCaseWord(argument, "/s")) {
      options.selfBatch = true;
    } else if (MatchesLowerCaseWord(argument, "/y")) {
      options.yes = true;
    } else if (MatchesLowerCaseWord(argument, "/h")) {
      options.checksum = true;
    } else if (MatchesLowerCaseWord(argument, "/v")) {
      options.verify = true;
    } else if (argument[0] == '/') {
      options.sizeGiven = true;
      options.pieceSize = ReadPieceSize(argument);
    } else if (!TakePath(argument, argv[i], options)) {
      // A path too long for the program's buffers.
      return false;
    }
  }
  options.mode = ModeOf(options);
  return true;
}

bool CheckArguments(const RunOptions& options) {
  bool ok = true;
  if (options.sourcePath[0] == '\0') {
    PrintFailure(text::NoSourceGiven);
    ok = false;
  }
  if (!path::FileExists(options.sourcePath)) {
    PrintSourceNotFound(options);
    ok = false;
  }
  // A check writes nothing: no pieces, batch files or folder to write to.
  if (options.verify && (options.sizeGiven || options.copyBatch || options.selfBatch ||
                         options.destFolder[0] != '\0')) {
    ok = false;
  }
  if (options.sizeGiven && options.pieceSize == 0) {
    PrintFailure(text::PieceSizeInvalid);
    ok = false;
  } else if (options.sizeGiven && options.pieceSize > LargestPieceSize) {
    PrintFailure(text::PieceSizeNotBelow4GB);
    ok = false;
  }
  if (options.destFolder[0] != '\0' && !path::IsValidPath(options.destFolder)) {
    const bool empty = std::strcmp(options.destFolder, EmptyDestination) == 0;
    PrintFailure(text::DestFolderInvalid, empty ? nullptr : options.destFolder);
    ok = false;
  }
  return ok;
}

}  // namespace app
