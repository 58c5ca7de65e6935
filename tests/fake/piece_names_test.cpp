#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/run_options.h"
#include "path/place.h"
#include "pieces/batch.h"
#include "pieces/piece_names.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/code_page.h"

namespace {

class PieceNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options = fake_test::FreshRun().options;
    fake::State().shares.insert("\\\\SRV\\SHARE");
  }
  void Use(app::RunMode mode, const char* source, const char* dest = "") {
    options.mode = mode;
    std::strcpy(options.sourcePath, source);
    std::strcpy(options.destFolder, dest);
  }
  std::string Name(int n) const {
    char buffer[MAX_PATH];
    std::memset(buffer, 'x', sizeof buffer);  // an empty answer must clear it
    return pieces::MakePieceName(options, buffer, n);
  }
  int Count() const {
    const pieces::PieceSetName set = pieces::PiecesOfRun(options);
    const path::Place place(set.folder);
    return pieces::SurveyPieces(pieces::PieceNamer(place, set.stem)).count;
  }

  app::RunOptions options;
};

TEST_F(PieceNamesTest, Names) {
  const app::RunMode D = app::ModeDivide, J = app::ModeJoin, B = app::ModeBatch;
  // D:\ + folder + \ + movie.avi.001: the longest name that fits, and one byte more.
  const std::string fits = "D:\\" + std::string(MAX_PATH - 18, 'd') + "\\";
  const std::string over = "D:\\" + std::string(MAX_PATH - 17, 'd') + "\\";
  const std::string fitName = fits + "movie.avi.001";
  const struct { app::RunMode mode; const char *source, *dest; int n; const char* name; } cases[] = {
      {D, "C:\\data\\movie.avi", "D:\\out\\", 1, "D:\\out\\movie.avi.001"},
      {D, "C:\\data\\movie.avi", "", 12, "movie.avi.012"},
      {D, "C:\\data\\movie.avi", "D:\\out\\", 1000, "D:\\out\\movie.avi.aaa"},
      {D, "C:\\data\\README", "", 1, "README.001"}, {D, "C:\\data\\README", "", 0, "README.000"},
      {J, "C:\\data\\movie.avi.001", "D:\\out\\", 2, "C:\\data\\movie.avi.002"},
      {J, "C:\\data\\movie.avi.001", "", 18575, "C:\\data\\movie.avi.zzz"},
      {J, "C:\\data\\movie.avi.005", "", 1, "C:\\data\\movie.avi.001"},
      {J, "movie.avi.001", "D:\\out\\", 3, "C:\\work\\movie.avi.003"},
      {B, "\\\\srv\\share\\p\\a.b.001", "D:\\x\\", 3, "\\\\srv\\share\\p\\a.b.003"},
      {D, "C:\\data\\movie.avi", "D:\\out\\", 18576, ""}, {J, "C:\\a.001", "", -1, ""},
      {J, "C:\\a.001", "", 999, "C:\\a.999"}, {J, "C:\\a.001", "", 1001, "C:\\a.aab"},
      {J, "C:\\a.001", "", 1025, "C:\\a.aaz"}, {J, "C:\\a.001", "", 1026, "C:\\a.aba"},
      {J, "C:\\a.001", "", 1676, "C:\\a.baa"}, {J, "C:\\a.001", "", 18574, "C:\\a.zzy"},
      {D, "C:\\data\\movie.avi", fits.c_str(), 1, fitName.c_str()},
      {D, "C:\\data\\movie.avi", over.c_str(), 1, ""}};
  for (const auto& c : cases) {
    Use(c.mode, c.source, c.dest);
    EXPECT_EQ(Name(c.n), c.name) << c.source << " " << c.n;
  }
}

// A gap ends the count, a folder is no piece, and letters follow .999.
TEST_F(PieceNamesTest, CountPieces) {
  Use(app::ModeJoin, "C:\\data\\movie.avi.005");
  EXPECT_EQ(Count(), 0);
  for (const char* ext : {".001", ".002", ".004"}) {
    fake::AddFile(std::string("C:\\data\\MOVIE.AVI") + ext, "");
  }
  fake::AddFolder("C:\\data\\movie.avi.003");
  EXPECT_EQ(Count(), 2);
  Use(app::ModeBatch, "C:\\p\\a.001");
  for (int n = 1; n <= 1000; ++n) fake::AddFile(Name(n), "x");
  fake::State().lookups = 0;
  EXPECT_EQ(Count(), 1000);
  // Past eight lookups one listing answers; the only other lookup is for
  // the first piece missing.
  EXPECT_EQ(fake::State().lookups, 9);
  // What the listing cannot vouch for is looked up: a name stored in
  // another case is still a piece, a folder still ends the count.
  fake::State().entries[fake::Key(Name(500))].storedName = "A.500";
  fake::State().entries[fake::Key(Name(700))].isFolder = true;
  EXPECT_EQ(Count(), 699);
}

// Past the lookups the listing decides, comparing names as the file system
// does: a second byte is no letter, so キット (83 4C) is not ネット (83 6C),
// whose pieces go on past キット's.
TEST_F(PieceNamesTest, ListingComparesCharactersNotBytes) {
  Use(app::ModeJoin, "C:\\k\\\x83\x4c\x83\x62\x83\x67.zip.001");
  for (int n = 1; n <= 12; ++n) {
    const std::string suffix = pieces::PieceSuffix(n);
    if (n <= 10) fake::AddFile("C:\\k\\\x83\x4c\x83\x62\x83\x67.zip" + suffix, "x");
    fake::AddFile("C:\\k\\\x83\x6c\x83\x62\x83\x67.zip" + suffix, "x");
  }
  EXPECT_EQ(Count(), 10);
}

// A listed name's piece number is the number its name was made from.
TEST_F(PieceNamesTest, PieceNumberOfSuffix) {
  for (int n = 1; n <= pieces::MaxPieces; ++n) {
    ASSERT_EQ(pieces::PieceNumberOf(pieces::PieceSuffix(n).c_str()), n);
  }
  for (const char* other : {".000", ".00a", ".AAA", ".a1b", ".0011", ".01", "0001", "x001", ""}) {
    EXPECT_EQ(pieces::PieceNumberOf(other), 0) << other;
  }
}

}  // namespace

namespace {

// On POSIX a name may begin with a letter and a colon. Every name a run
// composes from an empty folder part is that name in the current folder,
// never the drive C: it would be as text.
TEST_F(PieceNamesTest, NamesComposedFromAnEmptyFolderStayNames) {
  fake::State().posixNames = true;
  const struct { app::RunMode mode; const char* source; const char* dest; const char* piece;
                 const char* batch; } rows[] = {
      {app::ModeDivide, "C:\\work\\c:y.bin", "", "C:\\work\\c:y.bin.001", "C:\\work\\c:y.cpy.bat"},
      {app::ModeDivide, "C:\\data\\d:y", "", "C:\\work\\d:y.001", "C:\\work\\d:y.cpy.bat"},
      {app::ModeDivide, "C:\\data\\c:y.bin", "out\\", "C:\\work\\out\\c:y.bin.001", "C:\\work\\out\\c:y.cpy.bat"},
      {app::ModeJoin, "C:\\work\\c:y.bin.001", "", "C:\\work\\c:y.bin.001", "C:\\work\\c:y.cpy.bat"},
      {app::ModeBatch, "C:\\data\\x:.001", "", "C:\\data\\x:.001", "C:\\work\\x:.cpy.bat"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.source);
    Use(row.mode, row.source, row.dest);
    const pieces::PieceSetName set = pieces::PiecesOfRun(options);
    const path::Place pieceFolder(set.folder), destFolder(row.dest);
    EXPECT_EQ(pieces::PieceNamer(pieceFolder, set.stem).Path(1), row.piece);
    EXPECT_EQ(destFolder.PathOf(pieces::BatchFileName(set.stem, ".cpy.bat")), row.batch);
    // The join's output: the whole file's name in the destination folder.
    if (row.mode == app::ModeJoin) {
      EXPECT_EQ(destFolder.PathOf(set.stem), "C:\\work\\c:y.bin");
    }
  }
}

}  // namespace
