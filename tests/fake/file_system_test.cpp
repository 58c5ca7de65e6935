#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "path/file_system.h"
#include "platform/platform_fake.h"
#include "text/code_page.h"

#define SO "\x83\x5c"

namespace {

void Fresh() {
  fake::Reset();
  text::SetCodePage(932);
  fake::State().shares.insert("\\\\SRV\\SHARE");
}

using Names = std::vector<std::string>;

TEST(FileSystem, ExistenceQueries) {
  Fresh();
  fake::AddFile("C:\\work\\x.txt", "x");
  fake::State().readyDrives = {'C', 'E'};  // D: holds no medium
  // Expected FileExists, FolderExists, and what FolderExists asked: v the volume query
  // alone, l a lookup alone, - nothing.
  const struct { const char* path; const char* answers; } rows[] = {
      {"C:\\", "01v"}, {"\\", "01v"}, {"\\\\srv\\share", "01v"}, {"\\\\Srv\\Share\\", "01v"},
      {"\\\\srv\\other", "00v"}, {"D:\\", "00v"}, {"E:\\", "01v"}, {"C:\\work", "01l"},
      {"c:\\WORK\\", "01l"}, {"..\\work", "01l"}, {"C:\\work\\x.txt", "10l"}, {"x.txt", "10l"},
      {"C:\\nothing", "00l"}, {"C:", "01v"}, {"D:", "00v"}, {"D:\\work", "00l"}, {"\\\\srv\\share\\x", "00l"},
      {"C:\\work\\.x", "00-"}, {"x.txt ", "00-"}, {"C:\\x?", "00-"}};
  for (const auto& row : rows) {
    fake::State().lookups = fake::State().volumeQueries = 0;
    bool folder = path::FolderExists(row.path);
    int volume = fake::State().volumeQueries, lookups = fake::State().lookups;
    char asked = "-lvb"[(lookups > 0) + 2 * (volume > 0)];  // b: both
    bool file = path::FileExists(row.path);
    std::string got = {char('0' + file), char('0' + folder), asked};
    EXPECT_EQ(got, row.answers) << row.path;
    EXPECT_EQ(path::PathExists(row.path), file || folder) << row.path;
  }
}

TEST(FileSystem, ParentFolder) {
  Fresh();
  const struct { const char* path; const char* parent; } rows[] = {
      {"C:\\", "C:\\"}, {"C:\\a", "C:\\"}, {"C:\\a\\b", "C:\\a"}, {"C:\\a\\b\\", "C:\\a"},
      {"\\\\srv\\share\\x", "\\\\srv\\share"}, {"\\\\srv\\share", "\\\\srv\\"},
      {"\\\\srv", "\\\\srv\\"}, {"movie.avi", "C:\\work"}, {"C:\\" SO "\\x", "C:\\" SO},
      {"C:\\a\\" SO, "C:\\a"}, {"\\\\", nullptr}, {"C:\\a\\.b", nullptr}};
  for (const auto& row : rows) {
    char out[MAX_PATH] = "untouched";
    EXPECT_EQ(path::ParentFolder(row.path, out), row.parent != nullptr) << row.path;
    EXPECT_STREQ(out, row.parent != nullptr ? row.parent : "untouched") << row.path;
  }
}

TEST(FileSystem, CreateFolderTreeFromTheOutermostMissingFolder) {
  Fresh();
  EXPECT_TRUE(path::CreateFolderTree("D:\\x\\y\\z"));
  EXPECT_EQ(fake::State().madeFolders, (Names{"D:\\x", "D:\\x\\y", "D:\\x\\y\\z"}));
  fake::State().madeFolders.clear();
  // Existing folders, missing drives and shares, a bare server, a file as parent.
  fake::AddFile("C:\\work\\file", "");
  for (const char* path : {"D:\\x\\y", "C:\\work\\", "D:\\", "E:\\a\\b", "\\\\srv\\none\\x",
                           "\\\\srv\\", "C:\\work\\file\\x", "C:\\a\\.b"}) {
    EXPECT_FALSE(path::CreateFolderTree(path)) << path;
  }
  EXPECT_EQ(fake::State().madeFolders, Names{});
  // The folder asked for is created under the name given, backslash included.
  EXPECT_TRUE(path::CreateFolderTree("\\\\srv\\share\\n\\m\\"));
  EXPECT_EQ(fake::State().madeFolders, (Names{"\\\\srv\\share\\n", "\\\\srv\\share\\n\\m\\"}));
}

TEST(FileSystem, ResolveSourcePathTakesTheStoredNames) {
  Fresh();
  // Names stored in a case of their own; parents are added before their contents.
  for (const char* name : {"C:\\Work", "C:\\Work\\SubDir", "C:\\Work\\AB", "C:\\A", "C:\\A\\B",
                           "C:\\A\\C", "\\\\srv\\share\\P"}) {
    fake::AddFolder(name);
  }
  // C:\MOVIE.avi: a namesake in the root, never the file of C:movie.avi.
  for (const char* name : {"C:\\Work\\Movie.AVI", "C:\\Work\\SubDir\\Movie.AVI", "C:\\Root.Avi",
                           "C:\\MOVIE.avi", "C:\\Work\\AB\\Movie.AVI", "C:\\A\\C\\X.txt",
                           "\\\\srv\\share\\P\\A.b.001"}) {
    fake::AddFile(name, "");
  }
  const struct { const char* input; const char* resolved; } rows[] = {
      {"movie.avi", "Movie.AVI"}, {"subdir\\MOVIE.avi", "SubDir\\Movie.AVI"},
      {".\\subdir\\movie.avi", ".\\SubDir\\Movie.AVI"}, {"ab\\movie.avi", "ab\\Movie.AVI"},
      {"C:\\root.avi", "C:\\Root.Avi"}, {"C:movie.avi", "C:Movie.AVI"},
      {"C:subdir\\movie.avi", "C:SubDir\\Movie.AVI"},
      {"C:\\work\\subdir\\movie.avi", "C:\\Work\\SubDir\\Movie.AVI"},
      {"c:\\work\\subdir\\", "c:\\Work\\SubDir\\"},
      {"C:\\a\\b\\..\\c\\x.txt", "C:\\A\\B\\..\\C\\X.txt"},
      {"C:\\a\\.\\c\\x.txt", "C:\\A\\.\\C\\X.txt"},
      {"C:\\nothing\\..\\work\\movie.avi", "C:\\nothing\\..\\Work\\Movie.AVI"},
      {"\\\\SRV\\share\\p\\a.b.001", "\\\\SRV\\share\\P\\A.b.001"},
      {"\\\\Srv\\Share", "\\\\Srv\\Share"}, {"\\\\srv\\share\\", "\\\\srv\\share\\"},
      {"c:\\", "c:\\"}, {"\\\\srv\\other", nullptr}, {"F:\\", nullptr},
      {"C:\\work\\nothing.avi", nullptr}, {"C:\\x\\y\\z\\movie.avi", nullptr},
      {"C:\\work\\.x", nullptr}};
  for (const auto& row : rows) {
    char out[MAX_PATH] = "untouched";
    EXPECT_EQ(path::ResolveSourcePath(row.input, out), row.resolved != nullptr) << row.input;
    EXPECT_STREQ(out, row.resolved != nullptr ? row.resolved : "untouched") << row.input;
  }
  fake::State().lookups = fake::State().volumeQueries = 0;
  char out[MAX_PATH];
  EXPECT_TRUE(path::ResolveSourcePath("\\\\srv", out));
  EXPECT_STREQ(out, "\\\\srv");
  EXPECT_EQ(fake::State().lookups + fake::State().volumeQueries, 0);
}

TEST(FileSystem, LongPathsNeverOverrun) {
  Fresh();
  char out[MAX_PATH + 16];
  std::memset(out, 'g', sizeof out);
  const std::string folder = "C:\\" + std::string(256, 'f');  // MAX_PATH - 1 bytes
  fake::AddFolder(folder);
  EXPECT_TRUE(path::FolderExists(folder.c_str()));
  EXPECT_FALSE(path::FolderExists((folder + "\\").c_str()));
  fake::AddFile("C:\\work\\" + std::string(251, 'n'), "");
  ASSERT_TRUE(path::ResolveSourcePath(("C:\\WORK\\" + std::string(251, 'N')).c_str(), out));
  EXPECT_EQ(std::string(out), "C:\\work\\" + std::string(251, 'n'));
  // A stored name that makes the rebuilt path too long leaves it as typed.
  fake::AddFile("C:\\work\\long.avi", "");
  for (std::size_t length : {251u, 252u}) {
    fake::State().entries[fake::Key("long.avi")].storedName = std::string(length, 'L');
    ASSERT_TRUE(path::ResolveSourcePath("C:\\WORK\\long.avi", out));
    EXPECT_EQ(std::string(out), length == 251 ? "C:\\work\\" + std::string(length, 'L')
                                              : "C:\\WORK\\long.avi");
  }
  EXPECT_EQ(std::string(out + MAX_PATH, 16), std::string(16, 'g'));
}

}  // namespace
