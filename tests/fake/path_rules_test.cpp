#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "path/path_rules.h"
#include "platform/platform_fake.h"

// Code page 932 characters whose second byte is a backslash or a vertical bar.
#define SO "\x83\x5c"
#define HYO "\x95\x5c"
#define PO "\x83\x7c"

namespace {

TEST(PathRules, IsValidPath) {
  fake::Reset();
  text::SetCodePage(932);
  for (const char* valid : {
           "C:\\data\\movie.avi", "C:\\", "C:", "C:\\data\\", "C:movie.avi", "C:ab\\c", "C:\\ data",
           "C:\\data\\.\\movie.avi", "C:\\data\\..\\movie.avi", "C:\\a..b", "C:\\my movie.avi",
           "C:\\" SO ".txt", "C:\\" SO " x", "\\", "\\data\\movie.avi", "\\\\", "\\\\srv",
           "\\\\srv.", "\\\\srv\\", "\\\\srv\\share", "\\\\srv\\share\\p\\a.b.001",
           "\\\\srv\\share\\..\\x",
           ".\\", "..\\", ".\\movie.avi", "..\\..\\movie.avi", ".\\.\\movie.avi", "movie.avi",
           "data\\movie.avi", "\\\\srv\\ share", "\\\\srv \\share", "C:\\" PO ".txt",
           "a\x01" "b"}) {
    EXPECT_TRUE(path::IsValidPath(valid)) << valid;
  }
  for (const char* invalid : {
           "", "C:a\\b", "C:x.y", "C:\\\\data", "C:\\.data", "C:\\..\\data", "C: \\data",
           "C::\\data", "1:\\data", HYO ":\\data", "C:\\data\\.", "C:\\data\\..",
           "C:\\data\\.hidden", "C:\\data.\\x", "C:\\data..\\x", "C:\\data \\x", "C:\\data\\ x",
           "C:\\a\\b\\\\c", "C:\\data\\a:b", "C:\\movie.avi ", "C:\\movie.", "C:\\" HYO "\\\\x",
           "\\\\\\x", "\\\\srv\\\\share", "\\\\srv\\.share", "\\\\s:v\\share", "\\\\srv\\C:\\x",
           "\\\\srv\\share.", ".", "..", "...\\x", ".profile", " movie.avi",
           "C:\\a\x83", "\x95", "C:\\a\xE0"}) {  // the last three end in a lead byte alone
    EXPECT_FALSE(path::IsValidPath(invalid)) << invalid;
  }
  // The other double-byte code pages' lead bytes run up to 0xFE.
  for (int codePage : {936, 949, 950}) {
    text::SetCodePage(codePage);
    EXPECT_FALSE(path::IsValidPath("C:\\a\xFE")) << codePage;
  }
  text::SetCodePage(932);
  for (char c : std::string("/|\",;*?<>")) {
    EXPECT_FALSE(path::IsValidPath(("C:\\a" + std::string(1, c) + "b").c_str())) << c;
  }
}

// A POSIX system's rules: every name its file systems hold, so what only
// Windows refuses passes; an empty element, a slash and a dangling lead
// byte still do not.
TEST(PathRules, PosixNamesAreValidWhereThePlatformSaysSo) {
  fake::Reset();
  text::SetCodePage(932);
  fake::State().posixNames = true;
  for (const char* valid : {
           ".profile", "C:\\data\\.hidden\\x", "Photos, 2024\\a", "ab:c;d.bin", " lead",
           "trail ", "trail.", "C:\\data\\.", "C:\\data\\..", ".", "..", "C:a\\b", "a|b*?\"<>",
           "C:\\" HYO "\\x", "\\\\srv\\share", "C:\\data\\"}) {
    EXPECT_TRUE(path::IsValidPath(valid)) << valid;
  }
  for (const char* invalid : {"", "C:\\\\data", "C:\\a\\b\\\\c", "\\\\\\x", "\\\\srv\\\\share",
                              "a/b", "C:\\a\x83", "C:\\" HYO "\\\\x"}) {
    EXPECT_FALSE(path::IsValidPath(invalid)) << invalid;
  }
}

TEST(PathRules, EditsInPlace) {
  text::SetCodePage(932);
  using Edit = char* (*)(char*);
  Edit append = [](char* p) { return path::AppendBackslash(p); };
  Edit strip = path::StripBackslash;
  Edit quote = [](char* p) { return path::QuoteIfSpaced(p); };
  const struct { Edit edit; const char* in; const char* out; } rows[] = {
      {append, "", "\\"}, {append, "C:\\data", "C:\\data\\"}, {append, "C:\\data\\", "C:\\data\\"},
      {append, "C:\\" SO, "C:\\" SO "\\"}, {append, HYO, HYO "\\"}, {strip, "", ""},
      {append, "\x9f\x5c", "\x9f\x5c\\"},  // the last lead byte of its range, 歃
      {append, "\xfb\x5c", "\xfb\x5c\\"},  // a lead byte of the upper range, past 0xEF
      {strip, "C:\\", "C:"}, {strip, "C:\\data\\\\", "C:\\data\\"}, {strip, "C:\\" SO, "C:\\" SO},
      {quote, "", ""}, {quote, "my movie", "\"my movie\""}, {quote, "movie", "movie"},
      {quote, "\"", "\""}, {quote, "\"a b\"", "\"a b\""}, {quote, "\"a b", "\"\"a b\""},
      {quote, "a b\"", "\"a b\"\""}};
  for (const auto& row : rows) {
    char buffer[MAX_PATH];
    EXPECT_EQ(row.edit(std::strcpy(buffer, row.in)), buffer) << row.in;
    EXPECT_STREQ(buffer, row.out) << row.in;
  }
  // An edit that would not fit leaves the buffer as it was.
  char name[10] = "a b c d";
  EXPECT_EQ(path::AppendBackslash(name, 8), nullptr);
  char dangling[8] = "ab\x81";  // a lead byte without its second byte
  EXPECT_EQ(path::AppendBackslash(dangling), nullptr);
  EXPECT_STREQ(dangling, "ab\x81");
  EXPECT_EQ(path::QuoteIfSpaced(name, 9), nullptr);
  EXPECT_STREQ(name, "a b c d");
  EXPECT_EQ(path::QuoteIfSpaced(name, 10), name);
  EXPECT_STREQ(name, "\"a b c d\"");
}

TEST(PathRules, ClassifiesPaths) {
  fake::Reset();
  text::SetCodePage(932);
  // Expected answers of EndsWithBackslash, IsUncPath, IsUncServerPath, IsUncShareRoot.
  const struct { const char* path; const char* answers; } rows[] = {
      {"\\\\srv", "0110"}, {"\\\\srv\\", "1110"}, {"\\\\", "1110"}, {"\\\\srv\\share", "0101"},
      {"\\\\srv\\share\\", "1101"}, {"\\\\srv\\" SO, "0101"}, {"\\\\srv\\" HYO "\\", "1101"},
      {"\\\\srv\\share\\x", "0100"}, {"C:\\", "1000"}, {"C:\\data", "0000"}, {"C:\\" HYO, "0000"},
      {"movie.avi", "0000"}, {"\\data\\", "1000"}, {"", "0000"}, {"\\\\srv\\\\share", "0000"}};
  for (const auto& row : rows) {
    std::string got = {char('0' + path::EndsWithBackslash(row.path)),
                       char('0' + path::IsUncPath(row.path)),
                       char('0' + path::IsUncServerPath(row.path)),
                       char('0' + path::IsUncShareRoot(row.path))};
    EXPECT_EQ(got, row.answers) << row.path;
  }
  const struct { const char* currentDir; const char* path; bool root; } roots[] = {
      {"C:\\work", "C:\\", true}, {"C:\\work", "D:\\", true}, {"C:\\work", "\\", true},
      {"C:\\work", "..\\", true}, {"C:\\work", ".\\", false}, {"C:\\work", "C:", false},
      {"C:\\work", "D:\\data", false}, {"C:\\work", "\\\\srv\\share\\", false},
      {"C:\\work", "C:\\data\\..", false}, {"D:\\", ".\\", true}, {"D:\\", "C:", true},
      {"D:\\", "x", false}};
  for (const auto& row : roots) {
    fake::State().currentDir = row.currentDir;
    EXPECT_EQ(path::IsDriveRoot(row.path), row.root) << row.currentDir << " " << row.path;
  }
}

}  // namespace
