#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fresh_folder.h"
#include "path/file_system.h"
#include "text/code_page.h"

namespace fs = std::filesystem;

namespace {

// A fresh current folder holding Sub\Deep and Sub\Data.txt.
struct RealFileSystem : InFreshFolder {
  void SetUp() override {
    InFreshFolder::SetUp();
    fs::create_directories(fs::path("Sub") / "Deep");
    std::ofstream(fs::path("Sub") / "Data.txt") << "data";
  }
};

TEST_F(RealFileSystem, ExistenceAndFolderCreation) {
  // Expected FileExists and FolderExists.
  const struct { const char* path; const char* answers; } rows[] = {
      {"Sub", "01"}, {"Sub\\", "01"}, {".\\Sub\\Deep", "01"}, {"Sub\\Deep\\..\\Deep\\", "01"},
      {"\\", "01"}, {"Sub\\Data.txt", "10"}, {"Sub\\Deep\\..\\Data.txt", "10"}, {"Missing", "00"},
      {"Sub\\Missing\\x", "00"}, {"Sub\\.Data", "00"}};
  for (const auto& row : rows) {
    bool file = path::FileExists(row.path), folder = path::FolderExists(row.path);
    EXPECT_EQ(std::string({char('0' + file), char('0' + folder)}), row.answers) << row.path;
    EXPECT_EQ(path::PathExists(row.path), file || folder) << row.path;
  }
  EXPECT_TRUE(path::CreateFolderTree("New\\A\\B\\"));
  EXPECT_TRUE(fs::is_directory("New/A/B"));
  EXPECT_FALSE(path::CreateFolderTree("New\\A"));
  EXPECT_FALSE(path::CreateFolderTree("Sub\\Data.txt\\x"));
}

TEST_F(RealFileSystem, SecondByteBackslashUnderADoubleByteCodePage) {
  // ソ is 0x83 0x5C in code page 932: its second byte is no separator, on
  // POSIX in a Shift_JIS locale as on Windows.
  std::ofstream("Sub/\x83\x5c.txt") << "so";
  const int saved = text::CodePage();
  text::SetCodePage(932);
  EXPECT_TRUE(path::FileExists("Sub\\\x83\x5c.txt"));
  EXPECT_TRUE(path::FileExists("Sub\\Deep\\..\\\x83\x5c.txt"));
  text::SetCodePage(saved);
}

TEST_F(RealFileSystem, ResolveSourcePath) {
  const struct { const char* input; const char* resolved; } rows[] = {
      {"Sub\\Data.txt", "Sub\\Data.txt"}, {"Sub\\Deep\\", "Sub\\Deep\\"},
      {".\\Sub\\Deep\\..\\Data.txt", ".\\Sub\\Deep\\..\\Data.txt"}, {"Sub\\Missing.txt", nullptr},
      // .. goes before the file system is asked, as Windows does it.
      {"Missing\\..\\Sub\\Data.txt", "Missing\\..\\Sub\\Data.txt"},
#ifdef _WIN32
      // Windows answers the stored case.
      {"sub\\DEEP\\..\\data.TXT", "Sub\\Deep\\..\\Data.txt"},
#endif
  };
  for (const auto& row : rows) {
    char out[MAX_PATH] = "untouched";
    EXPECT_EQ(path::ResolveSourcePath(row.input, out), row.resolved != nullptr) << row.input;
    EXPECT_STREQ(out, row.resolved != nullptr ? row.resolved : "untouched") << row.input;
  }
}

}  // namespace
