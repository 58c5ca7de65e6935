// Names into the batch files' code page, and into UTF-8 for checksum files,
// on the real platform: exact, or not at all.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/platform.h"

namespace {

TEST(BatchText, NamesFromUtf8IntoCodePage932) {
  // Windows takes names in its ANSI code page; this table is a UTF-8 locale's.
  if (platform::Naming() != platform::NamingRules::Posix) GTEST_SKIP();
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  struct Row { const char* name; const char* cp932; };  // cp932: null, refused
  const Row rows[] = {
      {"plain.bin", "plain.bin"},
      {"\xe8\xa1\xa8\xe7\xa4\xba\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88.avi",  // 表示ソフト.avi
       "\x95\x5c\x8e\xa6\x83\x5c\x83\x74\x83\x67.avi"},
      {"\xef\xbd\x9e.txt", "\x81\x60.txt"},  // a fullwidth tilde
      {"\xe3\x80\x9c.txt", nullptr},         // a wave dash: back it comes as the tilde
      {"\xc3\xa4.bin", nullptr},             // ä: no code in code page 932
      {"\xe2\x82\xac", nullptr},             // €
      {"a\xff" "b", nullptr},                // not UTF-8 at all
  };
  for (const Row& row : rows) {
    std::string out;
    EXPECT_EQ(platform::PathTextToBatchText(row.name, &out), row.cp932 != nullptr) << row.name;
    if (row.cp932 != nullptr) {
      EXPECT_EQ(out, row.cp932) << row.name;
    }
  }
  std::setlocale(LC_CTYPE, "C");
}

TEST(Utf8Text, NamesFromThePlatformsCodePage) {
  // On Windows the ANSI code page: 932 under the test command's Wine.
  const bool posix = platform::Naming() == platform::NamingRules::Posix;
  struct Row { bool posix; const char* locale; const char* name; const char* utf8; };
  const Row rows[] = {
      {true, "C.UTF-8", "plain.bin", "plain.bin"},
      {true, "C.UTF-8", "\xe8\xa1\xa8.avi", "\xe8\xa1\xa8.avi"},
      {true, "C.UTF-8", "a\xff" "b", nullptr},
      {true, "C.UTF-8", "\xe8\xa1", nullptr},  // cut short
      {true, "C", "\xe8\xa1\xa8", "\xe8\xa1\xa8"},  // names under C are read as UTF-8
      {true, "de_DE.ISO-8859-1", "\xe4.txt", "\xc3\xa4.txt"},
      {false, "", "plain.bin", "plain.bin"},
      {false, "", "\x83\x5c.txt", "\xe3\x82\xbd.txt"},  // ソ, its second byte a backslash
      {false, "", "\x95\x5c\xb1", "\xe8\xa1\xa8\xef\xbd\xb1"},  // 表ｱ
      {false, "", "a\x83", nullptr},  // a lead byte without its second
  };
  for (const Row& row : rows) {
    if (row.posix != posix) continue;
    if (posix && std::setlocale(LC_CTYPE, row.locale) == nullptr) {
      ADD_FAILURE() << "locale " << row.locale << " is missing";
      continue;
    }
    std::string out;
    EXPECT_EQ(platform::PathTextToUtf8(row.name, &out), row.utf8 != nullptr) << row.name;
    if (row.utf8 != nullptr) {
      EXPECT_EQ(out, row.utf8) << row.name;
    }
  }
  if (posix) std::setlocale(LC_CTYPE, "C");
}

}  // namespace
