// Join batch files on the in-memory platform: their exact bytes, their
// names, the questions and checks before writing, and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/run_options.h"
#include "pieces/batch.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

void Start(int mode, const char* source, const char* destFolder = "") {
  fake::Reset();
  text::SetCodePage(932);
  app::g_runOptions = app::RunOptions{};
  app::g_runOptions.mode = mode;
  std::snprintf(app::g_runOptions.sourcePath, MAX_PATH, "%s", source);
  std::snprintf(app::g_runOptions.destFolder, MAX_PATH, "%s", destFolder);
  fake::AddFolder("D:\\out");
}

// Piece numbers up to 1000, the first with a letter name.
std::string Suffix(int n) {
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, ".%03d", n);
  return n < 1000 ? suffix : ".aaa";
}

void AddPieces(const std::string& base, int count) {
  for (int n = 1; n <= count; ++n) fake::AddFile(base + Suffix(n), "x");
}

std::string Wrap(const std::string& name, bool quoted) {
  return quoted ? "\"" + name + "\"" : name;
}

// `stem` is the whole file's name as it stands in the text.
std::string CopyText(const std::string& stem, bool quoted, int pieces) {
  const std::string whole = Wrap(stem, quoted);
  std::string s = "@ECHO OFF\r\nCOPY /B " + Wrap(stem + ".001", quoted) + " + " +
                  Wrap(stem + ".002", quoted) + " " + whole + "\r\n";
  for (int j = 3; j <= pieces; ++j) {
    s += "COPY /B " + whole + " + " + Wrap(stem + Suffix(j), quoted) + " " + whole + "\r\n";
  }
  return s + text::CopyBatchEcho + "PAUSE\r\n";
}

std::string SelfText(const std::string& stem, bool quoted) {
  return "@ECHO OFF\r\nDIVRO " + Wrap(stem + ".001", quoted) + text::SelfBatchEcho + "PAUSE\r\n";
}

std::string Line(const std::string& s) { return s + "\n"; }

std::string Ask(const std::string& name, const char* key) {
  std::string s = text::AskOverwrite;
  return s.replace(s.find("%s%s"), 4, name) + key + "\n";
}

TEST(Batch, TextsByteForByte) {
  // The sizes worked out by hand for three pieces of movie.avi and "my movie.avi".
  EXPECT_EQ(CopyText("movie.avi", false, 3).size(), 167u);
  EXPECT_EQ(SelfText("movie.avi", false).size(), 94u);
  EXPECT_EQ(CopyText("my movie.avi", true, 3).size(), 197u);
  EXPECT_EQ(SelfText("my movie.avi", true).size(), 99u);
  // more: pieces after a gap; batch: as printed, with a folder only when one was given.
  struct Row { int mode; std::string source; const char* destFolder; int pieces;
               std::vector<int> more; std::string batch; const char* stem; bool quoted; };
  const int Divide = app::ModeDivide, Batch = app::ModeBatch;
  const Row rows[] = {
      {Divide, "C:\\work\\movie.avi", "", 3, {}, "movie", "movie.avi", false},
      {Divide, "C:\\work\\my movie.avi", "", 3, {}, "my movie", "my movie.avi", true},
      {Batch, "C:\\work\\movie.avi.001", "", 2, {}, "movie", "movie.avi", false},
      {Batch, "C:\\in\\movie.avi.005", "D:\\out\\", 2, {4, 5}, "D:\\out\\movie", "movie.avi",
       false},
      {Batch, "C:\\work\\movie.avi.001", "", 1000, {}, "movie", "movie.avi", false},
      {Divide, "C:\\work\\README", "", 2, {}, "README", "README", false},
      {Divide, "C:\\work\\archive.tar.gz", "", 2, {}, "archive.tar", "archive.tar.gz", false},
      {Batch, "C:\\work\\archive.tar.gz.001", "", 2, {}, "archive.tar", "archive.tar.gz", false},
      {Divide, "C:\\work\\a&b.txt", "", 2, {}, "a&b", "a&b.txt", true},
      {Divide, "C:\\work\\50%.txt", "", 2, {}, "50%", "50%%.txt", true},
      {Divide, "C:\\work\\c++.txt", "", 2, {}, "c++", "c++.txt", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.source);
    Start(row.mode, row.source.c_str(), row.destFolder);
    const std::string base = row.source.substr(0, row.source.size() - (row.mode == Batch ? 4 : 0));
    AddPieces(base, row.pieces);
    for (int n : row.more) fake::AddFile(base + Suffix(n), "x");
    EXPECT_TRUE(pieces::WriteCopyBatch());
    EXPECT_TRUE(pieces::WriteSelfBatch());
    const std::string copy = fake::Data(row.batch + ".cpy.bat");
    EXPECT_EQ(copy, CopyText(row.stem, row.quoted, row.pieces));
    EXPECT_EQ(fake::Data(row.batch + ".dvr.bat"), SelfText(row.stem, row.quoted));
    const std::string lastOfThousand = "COPY /B movie.avi + movie.avi.aaa movie.avi\r\nECHO";
    EXPECT_TRUE(row.pieces < 1000 || copy.find(lastOfThousand) != std::string::npos);
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
    Start(app::ModeDivide, row.source);
    fake::State().posixNames = true;
    fake::AddFolder("C:\\work\\.hidden");
    const std::string source = row.source;
    AddPieces(source.substr(source.rfind('\\') + 1), 2);
    const bool written = row.stem != nullptr;
    EXPECT_EQ(pieces::WriteCopyBatch(), written);
    const bool selfWritten = written || std::string(row.batch) == "end";
    EXPECT_EQ(pieces::WriteSelfBatch(), selfWritten);
    const std::string cpy = std::string(row.batch) + ".cpy.bat", dvr = std::string(row.batch) + ".dvr.bat";
    if (written) {
      const bool quoted = std::string(row.stem).find_first_of(",; ") != std::string::npos;
      EXPECT_EQ(fake::Data(cpy), CopyText(row.stem, quoted, 2));
      EXPECT_EQ(fake::Data(dvr), SelfText(row.stem, quoted));
      continue;
    }
    auto failed = [](const std::string& name) {
      return std::string(text::BatchOpenFailed).replace(std::string(text::BatchOpenFailed).find("%s"), 2, name);
    };
    EXPECT_EQ(fake::Exists(cpy) || fake::Exists(dvr), selfWritten);
    EXPECT_EQ(fake::State().output, Line(cpy) + failed(cpy) + Line(dvr) +
                                        (selfWritten ? Line(text::BatchCreated) : failed(dvr)));
  }
}

// Relative names whose full forms are 260 bytes or more still give whole
// names in the text and for the batch files.
TEST(Batch, NamesUnderAFolderTooDeepToTakeApart) {
  const std::string deep = std::string(MAX_PATH - 20, 'd');
  const std::string into = "C:\\work\\" + deep + "\\";
  Start(app::ModeDivide, "C:\\work\\movie.avi", (deep + "\\").c_str());
  AddPieces(into + "movie.avi", 3);
  EXPECT_TRUE(pieces::WriteCopyBatch());
  EXPECT_TRUE(pieces::WriteSelfBatch());
  EXPECT_EQ(fake::Data(into + "movie.cpy.bat"), CopyText("movie.avi", false, 3));
  EXPECT_EQ(fake::Data(into + "movie.dvr.bat"), SelfText("movie.avi", false));

  Start(app::ModeBatch, "D:\\out\\movie.avi.001");
  fake::State().currentDir = "C:\\" + std::string(MAX_PATH - 8, 'c');
  fake::AddFolder(fake::State().currentDir);
  AddPieces("D:\\out\\movie.avi", 2);
  EXPECT_TRUE(pieces::WriteCopyBatch());
  EXPECT_EQ(fake::State().output, Line("movie.cpy.bat") + Line(text::BatchCreated));
  EXPECT_EQ(fake::Data(fake::State().currentDir + "\\movie.cpy.bat"), CopyText("movie.avi", false, 2));
}

TEST(Batch, QuestionsAndChecksBeforeWriting) {
  enum Existing { None, File, Folder };
  struct Row { int pieces; Existing copyExisting; bool selfExists; const char* keys;
               bool overwriteAll, copyOk, selfOk; std::string copyLines, selfLines; };
  const std::string cpy = "movie.cpy.bat", dvr = "movie.dvr.bat", made = Line(text::BatchCreated);
  const std::string noFirst = Line(text::FirstPieceMissing);
  std::string openFailed = text::BatchOpenFailed;
  openFailed.replace(openFailed.find("%s"), 2, cpy);
  const Row rows[] = {
      {3, File, false, "s", false, false, true, Ask(cpy, "s") + Line(text::BatchStopped), made},
      {0, File, false, "y", false, false, false, Ask(cpy, "y") + noFirst, noFirst},
      {3, Folder, false, "Y", false, false, true, Ask(cpy, "Y") + openFailed, made},
      {1, None, false, "", false, false, true, Line(text::SecondPieceMissing), made},
      {3, File, true, "yy", false, true, true, Ask(cpy, "y") + made, Ask(dvr, "y") + made},
      {3, File, true, "a", false, true, true, Ask(cpy, "a") + made, made},
      {3, File, true, "", true, true, true, made, made},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.pieces << " pieces, keys " << row.keys);
    Start(app::ModeBatch, "C:\\work\\movie.avi.001");
    app::g_runOptions.overwriteAll = row.overwriteAll;
    AddPieces("movie.avi", row.pieces);
    if (row.copyExisting == File) fake::AddFile(cpy, "old");
    if (row.copyExisting == Folder) fake::AddFolder(cpy);
    if (row.selfExists) fake::AddFile(dvr, "old");
    fake::State().keys.assign(row.keys, row.keys + std::string(row.keys).size());
    EXPECT_EQ(pieces::WriteCopyBatch(), row.copyOk);
    EXPECT_EQ(pieces::WriteSelfBatch(), row.selfOk);
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
  struct Row { std::vector<const char*> argv; int sourceSize, pieces, status; std::string output; };
  const std::string cpy = Line("movie.cpy.bat"), dvr = Line("movie.dvr.bat");
  const std::string made = Line(text::BatchCreated), noSecond = Line(text::SecondPieceMissing);
  std::string progress;
  for (int n = 1; n <= 3; ++n) progress += "movie.avi" + Suffix(n) + "\r";
  const Row rows[] = {
      // The self-invoking batch file alone decides the outcome.
      {{"divro", "/C", "/S", "movie.avi.001"}, 0, 1, 0, cpy + noSecond + dvr + made},
      {{"divro", "/C", "movie.avi.001"}, 0, 1, -1, cpy + noSecond + Line(text::NoBatchCreated)},
      {{"divro", "movie.avi", "/1", "/C", "/S"}, 2500, 0, 0,
       progress + "\n" + Line(text::DivideFinished) + cpy + made + dvr + made},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.argv[1]);
    Start(0, "");
    fake::AddFile("movie.avi", std::string(std::size_t(row.sourceSize), 'm'));
    AddPieces("movie.avi", row.pieces);
    EXPECT_EQ(app::RunProgram(int(row.argv.size()), row.argv.data()), row.status);
    EXPECT_EQ(fake::State().output, row.output);
  }
  EXPECT_EQ(fake::Data("movie.cpy.bat"), CopyText("movie.avi", false, 3));
}

}  // namespace
