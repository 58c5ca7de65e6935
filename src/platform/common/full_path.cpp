#include "platform/common/full_path.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/common/path_text.h"
#include "text/code_page.h"

namespace platform {

namespace {

// Splits `rest` at backslash characters and applies its elements to
// `elements`: "." stays where it is, ".." drops the element before it, but
// never the root. The elements point into the texts they came from.
void ApplyElements(const char* rest, std::vector<std::string_view>* elements) {
  const char* start = rest;
  auto flush = [&](const char* end) {
    std::string_view element(start, static_cast<std::size_t>(end - start));
    if (element == "..") {
      if (!elements->empty()) elements->pop_back();
    } else if (!element.empty() && element != ".") {
      elements->push_back(element);
    }
  };
  const char* p = rest;
  for (; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '\\') {
      flush(p);
      start = p + 1;
    }
  }
  flush(p);
}

// Root of a full path: "C:\" for a drive path, "\\srv\share" (as far as it
// goes) for a UNC path. `rest` receives the position after the root.
std::string RootOf(const char* full, const char** rest) {
  if (full[0] == '\\' && full[1] == '\\') {
    const char* p = full + 2;
    int separators = 0;
    while (*p != '\0') {
      if (*p == '\\' && ++separators == 2) break;
      p += text::CharLength(p);
    }
    *rest = p;
    return std::string(full, static_cast<std::size_t>(p - full));
  }
  if (HasDrivePrefix(full, DriveLetter::SingleByte)) {
    *rest = full[2] == '\\' ? full + 3 : full + 2;
    return std::string(full, 2) + "\\";
  }
  *rest = full;
  return std::string();
}

}  // namespace

unsigned ComposeFullPath(const char* path, const char* currentDir, char* out, unsigned outSize) {
  if (path == nullptr || path[0] == '\0') return 0;

  std::string root;
  std::vector<std::string_view> elements;
  const char* rest = nullptr;

  if (path[0] == '\\' && path[1] == '\\') {
    root = RootOf(path, &rest);
  } else if (HasDrivePrefix(path, DriveLetter::SingleByte)) {
    if (path[2] == '\\') {
      root = RootOf(path, &rest);
    } else {
      // Drive-relative: against the current directory when it is on that
      // drive, else against the drive's root.
      bool sameDrive = HasDrivePrefix(currentDir, DriveLetter::SingleByte) &&
                       (static_cast<unsigned char>(currentDir[0]) | 0x20) ==
                           (static_cast<unsigned char>(path[0]) | 0x20);
      if (sameDrive) {
        const char* baseRest = nullptr;
        root = RootOf(currentDir, &baseRest);
        ApplyElements(baseRest, &elements);
      } else {
        root = std::string(path, 2) + "\\";
      }
      rest = path + 2;
    }
  } else if (path[0] == '\\') {
    const char* ignored = nullptr;
    root = RootOf(currentDir, &ignored);
    rest = path + 1;
  } else {
    const char* baseRest = nullptr;
    root = RootOf(currentDir, &baseRest);
    if (root.empty()) return 0;
    ApplyElements(baseRest, &elements);
    rest = path;
  }
  ApplyElements(rest, &elements);

  std::string full = root;
  // An element never ends in a separator, so only the root can.
  bool separatorAtEnd = EndsWithSeparator(root.c_str());
  for (std::string_view element : elements) {
    if (!full.empty() && !separatorAtEnd) full += '\\';
    full += element;
    separatorAtEnd = false;
  }
  // A trailing backslash survives, as GetFullPathNameA keeps it.
  if (EndsWithSeparator(path) && !separatorAtEnd) full += '\\';

  unsigned length = static_cast<unsigned>(full.size());
  if (length + 1 > outSize) return length + 1;
  std::memcpy(out, full.c_str(), length + 1);
  return length;
}

}  // namespace platform
