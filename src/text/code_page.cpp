#include "text/code_page.h"

namespace text {

namespace {
// The start-up code page: with the lead-byte table below, the one piece of
// global state besides RunOptions.
int g_codePage = CodePageSingleByte;

bool LeadByteOf(int codePage, unsigned byte) {
  switch (codePage) {
    case CodePageJapanese:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case CodePageSimplifiedChinese:
    case CodePageKorean:
    case CodePageTraditionalChinese:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}
}  // namespace

namespace detail {
bool g_leadBytes[256] = {};
}  // namespace detail

void SetCodePage(int codePage) {
  g_codePage = codePage;
  for (unsigned byte = 0; byte < 256; ++byte)
    detail::g_leadBytes[byte] = LeadByteOf(codePage, byte);
}

int CodePage() { return g_codePage; }

bool HasDanglingLeadByte(const char* text) {
  for (const char* p = text; *p != '\0'; p += CharLength(p)) {
    if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] == '\0') return true;
  }
  return false;
}

const char* LastChar(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p += CharLength(p)) last = p;
  return last;
}

const char* FindChar(const char* from, char c) {
  for (const char* p = from; *p != '\0'; p += CharLength(p)) {
    if (*p == c) return p;
  }
  return nullptr;
}

}  // namespace text
