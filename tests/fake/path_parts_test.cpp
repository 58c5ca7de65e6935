#include <gtest/gtest.h>

#include <string>

#include "path/path_parts.h"
#include "platform/platform_fake.h"

// Code page 932: ソ and 表 end in 0x5C, フ and ト do not.
#define SO "\x83\x5c"
#define SOFUTO "\x83\x5c\x83\x74\x83\x67"
#define HYO "\x95\x5c"

namespace {

// The six components, each followed by '|'.
std::string Parts(const path::PathParts& p) {
  std::string out;
  for (const char* part : {p.Server(), p.Share(), p.Drive(), p.Dir(), p.Fname(), p.Ext()}) {
    out = out + part + "|";
  }
  return out;
}

TEST(PathParts, DecomposesTheFullPath) {
  fake::Reset();
  text::SetCodePage(932);
  const struct { const char* path; const char* parts; } rows[] = {
      {"C:\\data\\movie.avi", "||C:|\\data\\|movie|.avi|"},
      {"movie.avi.001", "||C:|\\work\\|movie.avi|.001|"}, {"C:\\", "||C:|\\|||"},
      {"D:\\out\\", "||D:|\\|out||"}, {"C:\\data\\README", "||C:|\\data\\|README||"},
      {"C:\\a.b\\file", "||C:|\\a.b\\|file||"},
      {"C:\\data\\archive.tar.gz", "||C:|\\data\\|archive.tar|.gz|"},
      {"C:\\" SOFUTO "\\a.txt", "||C:|\\" SOFUTO "\\|a|.txt|"},
      {"C:\\" HYO "\\", "||C:|\\|" HYO "||"},
      {"C:\\a\\" SO, "||C:|\\a\\|" SO "||"},
      {"\\\\srv\\share\\p\\a.b.001", "\\\\srv|\\share||\\p\\|a.b|.001|"},
      {"\\\\srv\\share\\", "\\\\srv|\\share|||||"}, {"\\\\srv\\", "\\\\srv||||||"},
      {"C:", "||C:|\\|work||"}, {"..\\x.y", "||C:|\\|x|.y|"}, {"\\d\\.\\x", "||C:|\\d\\|x||"}};
  path::PathParts parts;
  for (const auto& row : rows) {
    EXPECT_TRUE(parts.Decompose(row.path)) << row.path;
    EXPECT_EQ(Parts(parts), row.parts) << row.path;
  }
}

TEST(PathParts, FailureEmptiesEverything) {
  fake::Reset();
  text::SetCodePage(932);
  const std::string dir = "\\" + std::string(254, 'd') + "\\";
  const std::string longest = "C:" + dir + "x";  // MAX_PATH - 1 bytes, the dir 256 of them
  path::PathParts parts;
  ASSERT_TRUE(parts.Decompose(longest.c_str()));
  EXPECT_EQ(Parts(parts), "||C:|" + dir + "|x||");
  // Refused, no full path, and a full form C:\work\nnn... of MAX_PATH bytes.
  for (const std::string& bad : {std::string("C:\\data\\.."), std::string(), longest + "y",
                                 std::string(252, 'n')}) {
    ASSERT_TRUE(parts.Decompose("C:\\data\\movie.avi"));
    EXPECT_FALSE(parts.Decompose(bad.c_str()));
    EXPECT_EQ(Parts(parts), "||||||");
  }
}

}  // namespace
