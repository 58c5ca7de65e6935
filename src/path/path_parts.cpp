#include "path/path_parts.h"

#include <cstring>

#include "path/path_rules.h"
#include "platform/common/path_text.h"
#include "platform/platform.h"

namespace path {

namespace {

struct Span {
  const char* begin;
  const char* end;
};

using Spans = Span[PathParts::PartCount];

// Breaks a text without server and share into drive, dir, fname and ext.
void SplitLocal(const char* text, bool allowDrive, Spans& spans) {
  const char* rest = text;
  spans[PathParts::DrivePart] = {text, text};
  if (allowDrive && platform::HasDrivePrefix(text)) {
    spans[PathParts::DrivePart] = {text, text + 2};
    rest = text + 2;
  }
  const char* lastBackslash = nullptr;
  const char* lastDot = nullptr;
  const char* end = rest;
  for (; *end != '\0'; end += text::CharLength(end)) {
    if (*end == '\\') lastBackslash = end;
    if (*end == '.') lastDot = end;
  }
  const char* element = lastBackslash != nullptr ? lastBackslash + 1 : rest;
  spans[PathParts::DirPart] = {rest, element};
  if (lastDot != nullptr && lastDot >= element) {
    spans[PathParts::FnamePart] = {element, lastDot};
    spans[PathParts::ExtPart] = {lastDot, end};
  } else {
    spans[PathParts::FnamePart] = {element, end};
    spans[PathParts::ExtPart] = {end, end};
  }
}

}  // namespace

void PathParts::Reset() {
  fullPath_[0] = '\0';
  std::memset(storage_, 0, sizeof storage_);
  for (const char*& part : parts_) part = storage_;
}

bool PathParts::Decompose(const char* path) {
  Reset();
  if (!IsValidPath(path)) return false;

  char work[text::PathCapacity];
  unsigned length = platform::FullPathName(path, work, platform::PathLimit());
  if (length == 0 || length >= platform::PathLimit()) return false;
  StripBackslash(work);
  if (work[0] == '\0') return false;
  if (work[std::strlen(work) - 1] == ':') AppendBackslash(work);
  std::strcpy(fullPath_, work);

  const char* full = fullPath_;
  const char* end = full + std::strlen(full);
  Spans spans;
  if (BeginsWith(full, "\\\\")) {
    const char* serverEnd = text::FindChar(full + 2, '\\');
    if (serverEnd == nullptr) {
      spans[ServerPart] = {full, end};
      for (int i = SharePart; i < PartCount; ++i) spans[i] = {end, end};
    } else {
      const char* shareEnd = text::FindChar(serverEnd + 1, '\\');
      if (shareEnd == nullptr) shareEnd = end;
      spans[ServerPart] = {full, serverEnd};
      spans[SharePart] = {serverEnd, shareEnd};
      SplitLocal(shareEnd, false, spans);
    }
  } else {
    spans[ServerPart] = {full, full};
    spans[SharePart] = {full, full};
    SplitLocal(full, true, spans);
  }

  char* out = storage_;
  for (int i = 0; i < PartCount; ++i) {
    std::size_t n = static_cast<std::size_t>(spans[i].end - spans[i].begin);
    std::memcpy(out, spans[i].begin, n);
    out[n] = '\0';
    parts_[i] = out;
    out += n + 1;
  }
  return true;
}

}  // namespace path
