// Join batch files on the in-memory platform: their exact bytes, their
// names, the questions and checks before writing, and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "entry/entry.h"
#include "app/run_options.h"
#include "pieces/batch.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

fake_test::Run Start(app::RunMode mode, const char* source, const char* destFolder = "") {
  fake_test::Run run = fake_test::FreshRun(mode, source, destFolder);
  fake::AddFolder("D:\\out");
  return run;
}

// Piece numbers up to 1000, the first with a letter name.
std::string Suffix(int n) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%03d", n);
  return n < 1000 ? suffix : ".aaa";
}

void AddPieces(const std::string& base, int count) {
  for (int n = 1; n <= count; ++n) fake::AddFile(base + Suffix(n), "x");
}

std::string Line(const std::string& s) { return s + "\n"; }

std::string Ask(const std::string& name, const char* key) {
  std::string s = text::AskOverwrite;
  return s.replace(s.find("%s%s"), 4, name) + key + "\n";
}

TEST(Batch, TextsByteForByte) {
  // The sizes worked out by hand for three pieces of movie.avi and "my movie.avi":
  // the COPY text, and before it the check of the pieces (its first line, two
  // lines a piece, the three lines that end the run when one is missing), then
  // the three lines for a folder at the output; after it the size check.
  EXPECT_EQ(fake_test::Golden("movie-3.cpy.bat").size(),
            167u + 20 + 3 * (50 + 48) + 169 + (86 + 28 + 32) + (17 + 58 + 100 + 28 + 32));
  EXPECT_EQ(fake_test::Golden("movie-3.dvr.bat").size(), 94u);
  EXPECT_EQ(fake_test::Golden("my-movie-3.cpy.bat").size(),
            197u + 20 + 3 * (55 + 53) + 169 + (91 + 33 + 37) + (17 + 63 + 100 + 28 + 32));
  EXPECT_EQ(fake_test::Golden("my-movie-3.dvr.bat").size(), 99u);
  // more: pieces after a gap; batch: as printed, with a folder only when one was given.
  struct Row { app::RunMode mode; std::string source; const char* destFolder; int pieces;
               std::vector<int> more; std::string batch; const char* golden; };
  const app::RunMode Divide = app::ModeDivide, Batch = app::ModeBatch;
  const Row rows[] = {
      {Divide, "C:\\work\\movie.avi", "", 3, {}, "movie", "movie-3"},
      {Divide, "C:\\work\\my movie.avi", "", 3, {}, "my movie", "my-movie-3"},
      {Batch, "C:\\work\\movie.avi.001", "", 2, {}, "movie", "movie-2"},
      {Batch, "C:\\in\\movie.avi.005", "D:\\out\\", 2, {4, 5}, "D:\\out\\movie", "movie-2"},
      {Batch, "C:\\work\\movie.avi.001", "", 1000, {}, "movie", "movie-1000"},
      {Divide, "C:\\work\\README", "", 2, {}, "README", "readme-2"},
      {Divide, "C:\\work\\archive.tar.gz", "", 2, {}, "archive.tar", "archive-2"},
      {Batch, "C:\\work\\archive.tar.gz.001", "", 2, {}, "archive.tar", "archive-2"},
      {Divide, "C:\\work\\a&b.txt", "", 2, {}, "a&b", "ampersand-2"},
      {Divide, "C:\\work\\50%.txt", "", 2, {}, "50%", "percent-2"},
      {Divide, "C:\\work\\c++.txt", "", 2, {}, "c++", "plus-2"},
      // л: 0x84 0x7C, which a single-byte code page reads as a pipe.
      {Divide, "C:\\work\\\x84\x7cmarker", "", 2, {}, "\x84\x7cmarker", "cyrillic-2"},
      {Divide, "C:\\work\\a!.txt", "", 2, {}, "a!", "exclamation-2"},
      {Divide, "C:\\work\\\x95\x5c!", "", 2, {}, "\x95\x5c!", "hyo-exclamation-2"},  // 表!
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.source);
    fake_test::Run run = Start(row.mode, row.source.c_str(), row.destFolder);
    const std::string base = row.source.substr(0, row.source.size() - (row.mode == Batch ? 4 : 0));
    AddPieces(base, row.pieces);
    for (int n : row.more) fake::AddFile(base + Suffix(n), "x");
    if (!row.more.empty()) {
      // Pieces beyond a gap: neither batch file would join the whole file.
      EXPECT_FALSE(pieces::WriteCopyBatch(run.options, run.state));
      EXPECT_FALSE(pieces::WriteSelfBatch(run.options, run.state));
      const std::string missing = fake_test::WithName(text::PieceMissing, base + Suffix(row.pieces + 1));
      EXPECT_EQ(fake::State().output, Line(row.batch + ".cpy.bat") + missing + Line(row.batch + ".dvr.bat") + missing);
      EXPECT_FALSE(fake::Exists(row.batch + ".cpy.bat") || fake::Exists(row.batch + ".dvr.bat"));
      continue;
    }
    EXPECT_TRUE(pieces::WriteCopyBatch(run.options, run.state));
    EXPECT_TRUE(pieces::WriteSelfBatch(run.options, run.state));
    EXPECT_EQ(fake::Data(row.batch + ".cpy.bat"), fake_test::Golden(std::string(row.golden) + ".cpy.bat"));
    EXPECT_EQ(fake::Data(row.batch + ".dvr.bat"), fake_test::Golden(std::string(row.golden) + ".dvr.bat"));
    EXPECT_EQ(fake::State().output, Line(row.batch + ".cpy.bat") + Line(text::BatchCreated) +
                                        Line(row.batch + ".dvr.bat") + Line(text::BatchCreated));
    EXPECT_EQ(fake::State().liveBlocks, 0);
  }
}

// Names a POSIX system holds: , and ; are quoted (the command processor
// parts arguments at them); a name Windows cannot hold is never written,
// so the self-invoking batch file of "end." (its first piece end..001) is.
TEST(Batch, NamesOnlyAPosixSystemHolds) {
  struct Row { const char* source; const char* batch; const char* stem; };  // stem: null, refused
  const Row rows[] = {
      {"C:\\work\\a,b.txt", "a,b", "a,b.txt"}, {"C:\\work\\a;b.txt", "a;b", "a;b.txt"},
      {"C:\\work\\.hidden\\m.avi", "m", "m.avi"}, {"C:\\work\\ab:c.txt", "ab:c", nullptr},
      {"C:\\work\\x|y.txt", "x|y", nullptr}, {"C:\\work\\q?.txt", "q?", nullptr},
      {"C:\\work\\end.", "end", nullptr}, {"C:\\work\\end .txt", "end ", "end .txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.source);
    fake_test::Run run = Start(app::ModeDivide, row.source);
    fake::State().posixNames = true;
    fake::AddFolder("C:\\work\\.hidden");
    const std::string source = row.source;
    AddPieces(source.substr(source.rfind('\\') + 1), 2);
    const bool written = row.stem != nullptr;
    EXPECT_EQ(pieces::WriteCopyBatch(run.options, run.state), written);
    const bool selfWritten = written || std::string(row.batch) == "end";
    EXPECT_EQ(pieces::WriteSelfBatch(run.options, run.state), selfWritten);
    const std::string cpy = std::string(row.batch) + ".cpy.bat", dvr = std::string(row.batch) + ".dvr.bat";
    if (written) {
      const bool quoted = std::string(row.stem).find_first_of(",; ") != std::string::npos;
      const std::string first = quoted ? "\"" + std::string(row.stem) + ".001\"" : std::string(row.stem) + ".001";
      EXPECT_NE(fake::Data(cpy).find("\r\nCOPY /B " + first + " + "), std::string::npos);
      EXPECT_NE(fake::Data(dvr).find("\r\nDIVRO " + first + "\r\n"), std::string::npos);
      continue;
    }
    auto failed = [](const std::string& name) { return fake_test::WithName(text::BatchOpenFailed, name); };
    EXPECT_EQ(fake::Exists(cpy) || fake::Exists(dvr), selfWritten);
    EXPECT_EQ(fake::State().output, Line(cpy) + failed(cpy) + Line(dvr) +
                                        (selfWritten ? Line(text::BatchCreated) : failed(dvr)));
  }
}

// Relative names whose full forms are 260 bytes or more still give whole
// names in the text and for the batch files.
TEST(Batch, NamesTheCommandProcessorWouldSplitAreQuoted) {
  const struct { const char* name; const char* inBatch; } rows[] = {
      {"plain.txt", "plain.txt"}, {"a=b.txt", "\"a=b.txt\""}, {"x^y", "\"x^y\""},
      {"(1).txt", "\"(1).txt\""}, {"hi!", "\"hi!\""}, {"a+b", "\"a+b\""},
      {"\x83\x5c.txt", "\x83\x5c.txt"},  // ソ: its second byte is not special
      // л and Э: second bytes 0x7C and 0x5E, | and ^ on a single-byte code page.
      {"\x84\x7cmarker", "\"\x84\x7cmarker\""}, {"\x84\x5ex", "\"\x84\x5ex\""},
      {"a!.txt", "\"a!.txt\""}, {"\x95\x5c!", "\"\x95\x5c!\""}};  // 表!
  for (const auto& row : rows) EXPECT_EQ(pieces::QuoteForBatch(row.name), row.inBatch) << row.name;
}

// A name whose full form does not fit a path is never opened, relative or
// not: Windows would refuse it too.
TEST(Batch, NamesUnderAFolderTooDeepToTakeApart) {
  const std::string deep = std::string(MAX_PATH - 20, 'd');
  const std::string into = "C:\\work\\" + deep + "\\";
  fake_test::Run run = Start(app::ModeDivide, "C:\\work\\movie.avi", (deep + "\\").c_str());
  AddPieces(into + "movie.avi", 3);
  EXPECT_FALSE(pieces::WriteCopyBatch(run.options, run.state));
  EXPECT_FALSE(pieces::WriteSelfBatch(run.options, run.state));
  EXPECT_FALSE(fake::Exists(into + "movie.cpy.bat") || fake::Exists(into + "movie.dvr.bat"));

  run = Start(app::ModeBatch, "D:\\out\\movie.avi.001");
  fake::State().currentDir = "C:\\" + std::string(MAX_PATH - 8, 'c');
  fake::AddFolder(fake::State().currentDir);
  AddPieces("D:\\out\\movie.avi", 2);
  EXPECT_FALSE(pieces::WriteCopyBatch(run.options, run.state));
  EXPECT_EQ(fake::State().output,
            Line("movie.cpy.bat") + fake_test::WithName(text::BatchOpenFailed, "movie.cpy.bat"));
  EXPECT_FALSE(fake::Exists(fake::State().currentDir + "\\movie.cpy.bat"));
}

TEST(Batch, QuestionsAndChecksBeforeWriting) {
  enum Existing { None, File, Folder };
  struct Row { int pieces; Existing copyExisting; bool selfExists; const char* keys;
               bool overwriteAll, copyOk, selfOk; std::string copyLines, selfLines; };
  const std::string cpy = "movie.cpy.bat", dvr = "movie.dvr.bat", made = Line(text::BatchCreated);
  const std::string noFirst = Line(text::FirstPieceMissing);
  const std::string openFailed = fake_test::WithName(text::BatchOpenFailed, cpy);
  const Row rows[] = {
      {3, File, false, "s", false, false, true, Ask(cpy, "s") + Line(text::BatchStopped), made},
      // The set is checked first: nothing is asked about a batch file it cannot have.
      {0, File, false, "y", false, false, false, noFirst, noFirst},
      {3, Folder, false, "Y", false, false, true, Ask(cpy, "Y") + openFailed, made},
      {1, None, false, "", false, false, true, Line(text::SecondPieceMissing), made},
      {3, File, true, "yy", false, true, true, Ask(cpy, "y") + made, Ask(dvr, "y") + made},
      {3, File, true, "a", false, true, true, Ask(cpy, "a") + made, made},
      {3, File, true, "", true, true, true, made, made},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.pieces << " pieces, keys " << row.keys);
    fake_test::Run run = Start(app::ModeBatch, "C:\\work\\movie.avi.001");
    run.state.overwriteAll = row.overwriteAll;
    AddPieces("movie.avi", row.pieces);
    if (row.copyExisting == File) fake::AddFile(cpy, "old");
    if (row.copyExisting == Folder) fake::AddFolder(cpy);
    if (row.selfExists) fake::AddFile(dvr, "old");
    fake::State().keys.assign(row.keys, row.keys + std::string(row.keys).size());
    EXPECT_EQ(pieces::WriteCopyBatch(run.options, run.state), row.copyOk);
    EXPECT_EQ(pieces::WriteSelfBatch(run.options, run.state), row.selfOk);
    EXPECT_EQ(fake::State().output, Line(cpy) + row.copyLines + Line(dvr) + row.selfLines);
    // A refused batch file is left as it was.
    EXPECT_EQ(fake::Data(cpy) == "old", row.copyExisting == File && !row.copyOk);
    EXPECT_EQ(fake::State().entries[fake::Key(cpy)].isFolder, row.copyExisting == Folder);
    EXPECT_EQ(fake::Data(dvr).rfind("@ECHO OFF\r\n", 0) == 0, row.selfOk);
    EXPECT_EQ(fake::State().liveBlocks, 0);
    EXPECT_EQ(fake::State().openFiles, 0);
  }
}

TEST(Batch, ExitStatusThroughTheProgram) {
  // blocked: a folder at that name.
  struct Row { std::vector<const char*> argv; int sourceSize, pieces, status; std::string output;
               const char* blocked = nullptr; };
  const std::string cpy = Line("movie.cpy.bat"), dvr = Line("movie.dvr.bat");
  const std::string made = Line(text::BatchCreated), noSecond = Line(text::SecondPieceMissing);
  std::string progress;
  for (int n = 1; n <= 3; ++n) progress += "movie.avi" + Suffix(n) + "\r";
  const Row rows[] = {
      // The self-invoking batch file alone decides the outcome.
      {{"divro", "/C", "/S", "movie.avi.001"}, 0, 1, 0, cpy + noSecond + dvr + made},
      {{"divro", "/C", "movie.avi.001"}, 0, 1, -1, cpy + noSecond + Line(text::NoBatchCreated)},
      {{"divro", "/C", "/S", "movie.avi.001"}, 0, 2, -1,
       cpy + made + dvr + fake_test::WithNames(text::AskOverwrite, {"", "movie.dvr.bat"}) + "y\n" +
           fake_test::WithName(text::BatchOpenFailed, "movie.dvr.bat") + Line(text::NoBatchCreated),
       "movie.dvr.bat"},
      {{"divro", "movie.avi", "/1", "/C", "/S"}, 2500, 0, 0,
       progress + "\n" + Line(text::DivideFinished) + cpy + made + dvr + made},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.argv[1]);
    Start(app::ModeUndecided, "");
    fake::AddFile("movie.avi", std::string(std::size_t(row.sourceSize), 'm'));
    AddPieces("movie.avi", row.pieces);
    if (row.blocked != nullptr) fake::AddFolder(row.blocked);
    if (row.blocked != nullptr) fake::State().keys = {'y'};  // to replace it
    EXPECT_EQ(app::RunProgram(int(row.argv.size()), row.argv.data()), row.status);
    EXPECT_EQ(fake::State().output, row.output);
  }
  // The division's batch file checks the source's size, not its pieces' (one byte each).
  std::string divided = fake_test::Golden("movie-3.cpy.bat");
  EXPECT_EQ(fake::Data("movie.cpy.bat"), divided.replace(divided.find("==\"3\""), 5, "==\"2500\""));
  // A folder that is missing is asked about once, for both batch files.
  Start(app::ModeUndecided, "");
  AddPieces("movie.avi", 2);
  fake::State().keys = {'n'};
  const char* argv[] = {"divro", "/C", "/S", "movie.avi.001", "new"};
  EXPECT_EQ(app::RunProgram(5, argv), -1);
  EXPECT_EQ(fake::State().output.find(text::AskCreateFolder),
            fake::State().output.rfind(text::AskCreateFolder));
  EXPECT_TRUE(fake_test::Printed(text::AskCreateFolder));
}

}  // namespace
