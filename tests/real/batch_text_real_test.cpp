// Names into the batch files' code page on the real platform: exact, or not
// at all.
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

}  // namespace
