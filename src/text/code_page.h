// The code page of path text, chosen once at start-up, and the character
// steps that every scan of path text takes through it.
#pragma once

#include <cstddef>

namespace text {

// The size of every path buffer: the longest path text of any platform,
// its zero byte included. The platform's own limit is platform::PathLimit.
constexpr std::size_t PathCapacity = 4096;

// Code page numbers with a lead-byte table of their own; any other number
// is read as a single-byte code page.
constexpr int CodePageJapanese = 932;
constexpr int CodePageSimplifiedChinese = 936;
constexpr int CodePageKorean = 949;
constexpr int CodePageTraditionalChinese = 950;
constexpr int CodePageSingleByte = 0;

void SetCodePage(int codePage);
int CodePage();

namespace detail {
// The lead bytes of the start-up code page, one flag a byte value: every
// scan of path text asks, so the answer is a table lookup.
extern bool g_leadBytes[256];
}  // namespace detail

inline bool IsLeadByte(unsigned char byte) { return detail::g_leadBytes[byte]; }

// Bytes in the character at `p`: 2 for a lead byte with its second byte,
// 1 otherwise, so a dangling lead byte never steps over the terminator.
inline std::size_t CharLength(const char* p) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
}

// True when the text ends in a lead byte without the byte that belongs to it.
bool HasDanglingLeadByte(const char* text);

// Start of the last character of `text`, or nullptr for the empty text.
const char* LastChar(const char* text);

// First character at or after `from` that is the single byte `c`, or nullptr.
const char* FindChar(const char* from, char c);

}  // namespace text
