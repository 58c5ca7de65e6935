// The Windows side of held outputs, temporary files and removals that
// respect another program's open handle (run under Wine too).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fresh_folder.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

struct Win32Files : InFreshFolder {
  platform::Folder here{"x"};  // the current folder
  static void Put(const char* name, const char* data) { std::ofstream(name) << data; }
  static std::string Content(const char* name) {
    std::ifstream file(name, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "(none)";
  }
  // Another program's handle on `name`, sharing what `share` says.
  static HANDLE OpenedByOther(const char* name, DWORD share) {
    return CreateFileA(name, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
};

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

TEST_F(Win32Files, HoldTakesAPlainFileAloneAndRefusesTheRest) {
  Put("plain", "old"), Put("shared", "old"), Put("linked", "old");
  fs::create_hard_link("linked", "second");
  fs::create_directory("folder");
  HANDLE other = OpenedByOther("shared", ShareAll);
  const struct { const char* name; int code; bool sole; } rows[] = {
      {"plain", -1, true}, {"linked", -1, false}, {"shared", ERROR_SHARING_VIOLATION, false},
      {"folder", 0, false}, {"missing", ERROR_FILE_NOT_FOUND, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::OpenedFiles files;
    platform::Failure failure{-1, {}, {}};
    const platform::FileId held =
        platform::FileOpen(row.name, platform::OpenMode::Hold, &files, nullptr, &failure);
    platform::FileIdentity identity;
    ASSERT_EQ(held != platform::InvalidFile, row.code == -1);
    EXPECT_EQ(failure.code, row.code);
    if (held == platform::InvalidFile) continue;
    EXPECT_TRUE(platform::IdentityOf(here, row.name, &identity) && files.Holds(identity));
    EXPECT_EQ(platform::ReplaceableByNewFile(held), row.sole);
    EXPECT_EQ(OpenedByOther(row.name, ShareAll), INVALID_HANDLE_VALUE);  // no reader
    platform::FileClose(held);
  }
  CloseHandle(other);
  EXPECT_EQ(Content("plain") + Content("shared") + Content("second"), "oldoldold");
}

TEST_F(Win32Files, RemoveUnlessInUse) {
  using R = platform::Removal;
  Put("free", "x"), Put("readable", "x"), Put("deletable", "x"), Put("readonly", "x");
  SetFileAttributesA("readonly", FILE_ATTRIBUTE_READONLY);
  fs::create_directory("folder");
  HANDLE readers[] = {OpenedByOther("readable", FILE_SHARE_READ),
                      OpenedByOther("deletable", ShareAll)};
  const struct { const char* name; R removal; int code; } rows[] = {
      {"free", R::Removed, 0},       {"missing", R::Gone, 0},
      {"readable", R::InUse, 0},     {"deletable", R::InUse, 0},
      {"folder", R::Failed, ERROR_ACCESS_DENIED}, {"readonly", R::Failed, ERROR_ACCESS_DENIED}};
  for (const auto& row : rows) {
    platform::Failure failure;
    EXPECT_EQ(platform::RemoveUnlessInUse(here, row.name, &failure), row.removal) << row.name;
    EXPECT_EQ(failure.code, row.code) << row.name;
    EXPECT_EQ(fs::exists(row.name), row.removal != R::Removed && row.removal != R::Gone);
  }
  for (HANDLE reader : readers) CloseHandle(reader);
  SetFileAttributesA("readonly", FILE_ATTRIBUTE_NORMAL);  // for the clean-up
  std::uint64_t bytes = 0;
  EXPECT_TRUE(platform::FreeSpace(here, &bytes) && bytes > 0);
  EXPECT_FALSE(platform::FreeSpace(platform::Folder("missing\\x"), &bytes));
}

TEST_F(Win32Files, TemporaryFileFromCreationToCommit) {
  Put("output", "old");
  fs::create_directory("folder");
  for (const char* taken : {"output", "folder"}) {
    platform::Failure failure;
    EXPECT_EQ(platform::FileOpen(taken, platform::OpenMode::Temporary, nullptr, nullptr, &failure),
              platform::InvalidFile);
    EXPECT_TRUE(platform::NameTaken(failure)) << taken << " " << failure.code;
  }
  // The interrupt handler removes it while it is open; no one else opens it.
  platform::FileId temporary = platform::FileOpen("temp", platform::OpenMode::Temporary);
  EXPECT_EQ(OpenedByOther("temp", ShareAll), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeleteFileA("temp"));
  platform::FileClose(temporary);
  constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    SetFileAttributesA("output", kept);
    const platform::FileId old = platform::FileOpen("output", platform::OpenMode::Hold);
    temporary = platform::FileOpen("temp", platform::OpenMode::Temporary);
    EXPECT_EQ(platform::FileWrite(temporary, "new", 3), 3u);
    EXPECT_TRUE(platform::CopyAccess(old, temporary));  // read-only, and renamed all the same
    platform::FileClose(old);
    platform::FileClose(temporary);
    EXPECT_EQ(GetFileAttributesA("temp") & kept, kept);
    SetFileAttributesA("output", FILE_ATTRIBUTE_NORMAL);  // Windows replaces no read-only file
    platform::Failure failure;
    EXPECT_EQ(platform::CommitTemporary(here, "temp", "output", replace, &failure), replace);
    EXPECT_EQ(platform::NameTaken(failure), !replace) << failure.code;
    EXPECT_EQ(Content("output") + Content("temp"), replace ? "new(none)" : "oldnew");
    // The temporary file left read-only is still the run's to remove.
    EXPECT_EQ(platform::RemoveFile(here, "temp"), !replace);
  }
  SetFileAttributesA("output", FILE_ATTRIBUTE_NORMAL);  // for the clean-up
}

}  // namespace

namespace {

// Names compare as the file system compares them, on code page 932: every
// letter in any case, never a second byte as a letter.
TEST(Win32Names, CompareAsTheFileSystemDoes) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
  const struct { const char *a, *b; bool same; } rows[] = {
      {"movie.AVI", "MOVIE.avi", true},
      {"\x82\x60.bin", "\x82\x81.bin", true},    // full-width A, a
      {"\x83\x9f.bin", "\x83\xbf.bin", true},    // Greek Alpha, alpha
      {"\x84\x40.bin", "\x84\x70.bin", true},    // Cyrillic A, a
      {"\x83\x4c\x83\x62", "\x83\x6c\x83\x62", false},  // キッ, ネッ: second bytes L, l
      {"a.bin", "b.bin", false},
  };
  for (const auto& row : rows) EXPECT_EQ(platform::SameElement(row.a, row.b), row.same) << row.a;
}

}  // namespace
