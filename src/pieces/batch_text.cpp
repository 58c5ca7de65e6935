#include "pieces/batch_text.h"

#include "path/path_rules.h"
#include "text/code_page.h"

namespace pieces {

namespace {

// + is COPY's own: a bare c++.txt would be read as two names to join.
// , and ; part arguments as a blank does. | stands only as the second byte
// of a double-byte character, which a single-byte code page reads as |.
bool IsSpecialToCommandProcessor(char c) { return std::strchr(" &^()=!%+,;|", c) != nullptr; }

}  // namespace

bool WindowsHolds(const std::string& name) {
  for (const char* p = name.c_str(); *p != '\0'; p += text::CharLength(p)) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7f) return false;
    if (text::CharLength(p) == 1 && std::strchr("\\/:*?\"<>|", *p) != nullptr) return false;
  }
  const char* last = text::LastChar(name.c_str());
  return last == nullptr || (*last != ' ' && *last != '.');
}

std::optional<std::string> InBatch(const std::string& name) {
  std::string converted;
  if (!WindowsHolds(name) || !path::PathTextToBatchText(name, &converted)) {
    return std::nullopt;
  }
  return QuoteForBatch(converted.c_str());
}

bool HoldsExclamation(const std::optional<std::string>& name) {
  return name && name->find('!') != std::string::npos;
}

NameAndExt SplitElement(const std::string& element) {
  const char* begin = element.c_str();
  const char* dot = nullptr;
  for (const char* p = begin; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '.') dot = p;
  }
  if (dot == nullptr) return {element, ""};
  return {std::string(begin, dot), dot};
}

std::optional<std::string> WithTail(const std::optional<std::string>& name, const char* tail) {
  if (!name) return name;
  const std::size_t end = name->size() - (!name->empty() && name->back() == '"' ? 1 : 0);
  return std::string(*name).insert(end, tail);
}

std::string QuoteForBatch(const char* name) {
  // Byte by byte: a command processor on a single-byte code page reads the
  // second byte of a code page 932 character (0x7C, 0x5E) as | or ^.
  // Inside quotes every code page takes them literally.
  bool special = false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (IsSpecialToCommandProcessor(*p)) special = true;
  }
  if (!special) return name;
  // A name with a blank and nothing else special is exactly QuoteIfSpaced.
  // No second byte is a % (0x25), so every % byte is one to double.
  std::string quoted = "\"";
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '%') quoted += '%';
    quoted += *p;
  }
  quoted += '"';
  return quoted;
}

std::string BatchFileName(const std::string& stem, const char* extension) {
  return SplitElement(stem).name + extension;
}

}  // namespace pieces
