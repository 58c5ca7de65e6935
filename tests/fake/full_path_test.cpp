#include <gtest/gtest.h>

#include <cstring>

#include "platform/common/full_path.h"
#include "text/code_page.h"

#define SO "\x83\x5c"

namespace {

TEST(FullPath, ComposesLikeTheWindowsRules) {
  text::SetCodePage(932);
  const struct { const char* path; const char* currentDir; const char* full; } rows[] = {
      {"movie.avi", "C:\\work", "C:\\work\\movie.avi"}, {"C:m.avi", "C:\\work", "C:\\work\\m.avi"},
      {"c:m.avi", "C:\\work", "C:\\work\\m.avi"}, {"D:m.avi", "C:\\work", "D:\\m.avi"},
      {"C:", "C:\\work", "C:\\work"}, {"\\data\\x", "D:\\work", "D:\\data\\x"},
      {"\\", "C:\\work", "C:\\"}, {"a\\.\\b\\..\\c", "C:\\work", "C:\\work\\a\\c"},
      {"..\\..\\..\\x", "C:\\work", "C:\\x"}, {"C:\\..", "C:\\work", "C:\\"},
      {"C:\\data\\", "C:\\work", "C:\\data\\"}, {"sub\\", "C:\\work", "C:\\work\\sub\\"},
      {"\\\\srv\\share\\a\\..\\b", "C:\\work", "\\\\srv\\share\\b"},
      {"\\\\srv\\share\\..\\..\\x", "C:\\work", "\\\\srv\\share\\x"},
      {"\\\\srv\\share\\", "C:\\work", "\\\\srv\\share\\"},
      {"x", "\\\\srv\\share\\p", "\\\\srv\\share\\p\\x"},
      {"\\x", "\\\\srv\\share\\p", "\\\\srv\\share\\x"},
      // The 0x5C inside ソ is no separator: .. removes the whole element.
      {"C:\\a\\" SO "\\..\\x", "C:\\work", "C:\\a\\x"}, {"C:\\a\\" SO, "C:\\work", "C:\\a\\" SO},
      {SO "\\", "C:\\" SO, "C:\\" SO "\\" SO "\\"}};
  for (const auto& row : rows) {
    char out[MAX_PATH];
    EXPECT_EQ(platform::ComposeFullPath(row.path, row.currentDir, out, MAX_PATH),
              std::strlen(row.full)) << row.path;
    EXPECT_STREQ(out, row.full) << row.path;
  }
  // Too small a buffer: the size needed with the zero byte, and nothing written.
  char out[32] = "untouched";
  const unsigned needed = sizeof "C:\\work\\movie.avi";
  EXPECT_EQ(platform::ComposeFullPath("movie.avi", "C:\\work", out, needed - 1), needed);
  EXPECT_STREQ(out, "untouched");
  EXPECT_EQ(platform::ComposeFullPath("movie.avi", "C:\\work", out, needed), needed - 1);
  EXPECT_EQ(platform::ComposeFullPath("", "C:\\work", out, sizeof out), 0u);
}

}  // namespace
