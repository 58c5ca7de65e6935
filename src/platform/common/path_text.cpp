#include "platform/common/path_text.h"

#include "text/code_page.h"

namespace platform {

bool HasDrivePrefix(const char* path, DriveLetter letter) {
  const unsigned char first = static_cast<unsigned char>(path[0]);
  if (first == '\0' || path[1] != ':') return false;
  switch (letter) {
    case DriveLetter::AnyByte:
      return true;
    case DriveLetter::SingleByte:
      return !text::IsLeadByte(first);
    case DriveLetter::AsciiLetter:
      return (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    case DriveLetter::C:
      return first == 'C' || first == 'c';
  }
  return false;
}

std::string SwapSeparators(const char* text, char from, char to) {
  std::string out(text);
  if (out.find(from) == std::string::npos) return out;  // the usual plain name
  for (std::size_t i = 0; i < out.size(); i += text::CharLength(out.c_str() + i)) {
    if (out[i] == from) out[i] = to;
  }
  return out;
}

bool HasDotOrEmptyElement(const char* path) {
  const char* p = HasDrivePrefix(path) ? path + 2 : path;
  const char* element = p;
  for (;; p += text::CharLength(p)) {
    if (*p == '\\' || *p == '\0') {
      std::size_t n = static_cast<std::size_t>(p - element);
      bool dots =
          (n == 1 && element[0] == '.') || (n == 2 && element[0] == '.' && element[1] == '.');
      bool empty = n == 0 && *p == '\\' && element != path && element != path + 2;
      if (dots || empty) return true;
      if (*p == '\0') return false;
      element = p + 1;
    }
  }
}

bool EndsWithSeparator(const char* path) {
  const char* last = text::LastChar(path);
  return last != nullptr && *last == '\\';
}

const char* LastElement(const char* path) {
  const char* element = path;
  if (HasDrivePrefix(path)) element = path + 2;
  for (const char* p = element; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '\\') element = p + 1;
  }
  return element;
}

}  // namespace platform
