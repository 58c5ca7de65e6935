// Scans of path text that the platform implementations share and that touch
// no operating system. A double-byte character counts as one character, so
// a second byte equal to a separator is never taken for one.
#pragma once

#include <string>

namespace platform {

// What may stand before the colon of a drive prefix.
enum class DriveLetter {
  AnyByte,      // any byte: enough to step over a prefix
  SingleByte,   // no lead byte, as Windows' full paths take it
  AsciiLetter,  // A to Z in either case, as the path rules accept it
  C,            // C or c: on POSIX the whole file system is drive C:
};

// Whether the text starts with a drive prefix: its letter, then ':'.
bool HasDrivePrefix(const char* path, DriveLetter letter = DriveLetter::AnyByte);

// Replaces one separator by the other.
std::string SwapSeparators(const char* text, char from, char to);

// Whether an element after a drive is ".", ".." or empty between two
// separators: such a path needs its full form before a lookup.
bool HasDotOrEmptyElement(const char* path);

bool EndsWithSeparator(const char* path);

// The last element: after the last backslash, or after a drive's colon.
const char* LastElement(const char* path);

}  // namespace platform
