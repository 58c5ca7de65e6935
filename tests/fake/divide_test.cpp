// Dividing on the in-memory platform: piece contents and chunked progress,
// the refusals before anything is written, and the overwrite questions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "entry/entry.h"
#include "app/run_options.h"
#include "pieces/checksum_file.h"
#include "pieces/divide.h"
#include "pieces/join.h"
#include "pieces/pending_file.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

using fake_test::Bytes;

constexpr std::uint32_t MiB = 1048576;

std::string Piece(std::size_t n) { return "a.bin.00" + std::to_string(n); }

fake_test::Run Start(const std::string& source, std::uint64_t pieceSize) {
  fake_test::Run run = fake_test::FreshRun(app::ModeDivide, "C:\\work\\a.bin");
  run.options.pieceSize = pieceSize;
  fake::AddFile("a.bin", source);
  return run;
}

// Every way out releases the buffer and closes both files.
bool Divide(fake_test::Run& run) {
  bool ok = pieces::DivideFile(run.options, run.state) == pieces::DivideResult::Divided;
  fake_test::ExpectNothingHeld();
  return ok;
}

TEST(Divide, PiecesAreSlicesCopiedInChunks) {
  struct Row { std::uint32_t size, pieceSize; std::vector<std::uint32_t> pieces;
               std::vector<int> chunks; };
  const Row rows[] = {
      {10, 3, {3, 3, 3, 1}, {1, 1, 1, 1}},
      {7 * MiB, 3 * MiB, {3 * MiB, 3 * MiB, MiB}, {1, 1, 1}},
      {30 * MiB, 12 * MiB, {12 * MiB, 12 * MiB, 6 * MiB}, {3, 3, 2}},
      {10 * MiB + 1, 5 * MiB, {5 * MiB, 5 * MiB, 1}, {1, 1, 1}},
      {15 * MiB, 5 * MiB, {5 * MiB, 5 * MiB, 5 * MiB}, {1, 1, 1}},
      {11 * MiB, 5 * MiB + 1, {5 * MiB + 1, 5 * MiB + 1, MiB - 2}, {2, 2, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.size << " by " << row.pieceSize);
    const std::string source = Bytes(row.size);
    fake_test::Run run = Start(source, row.pieceSize);
    ASSERT_TRUE(Divide(run));
    std::string progress;  // the piece's name once per chunk
    for (std::size_t i = 0, offset = 0; i < row.pieces.size(); offset += row.pieces[i++]) {
      // Compared as a bool: a failure must not print megabytes.
      EXPECT_TRUE(fake::Data(Piece(i + 1)) == source.substr(offset, row.pieces[i])) << i + 1;
      for (int c = 0; c < row.chunks[i]; ++c) progress += Piece(i + 1) + "\r";
    }
    EXPECT_FALSE(fake::Exists(Piece(row.pieces.size() + 1)));
    EXPECT_EQ(fake::State().output, progress + "\n" + text::DivideFinished + "\n");
  }
}

TEST(Divide, RefusesBeforeWritingAnyPiece) {
  // reportedSize 0: the data's own size.
  struct Row { std::uint32_t size; std::uint64_t reportedSize;
               std::uint64_t pieceSize; const char* message; };
  const Row rows[] = {
      {10, 0, 10, text::PieceSizeTooLarge}, {10, 0, 11, text::PieceSizeTooLarge},
      {0, 0, 1, text::PieceSizeTooLarge}, {18576, 0, 1, text::PieceSizeTooSmall},
      // The low part alone (5) would blame the piece size.
      {10, (std::uint64_t{1} << 32) + 5, 100, text::PieceSizeTooSmall},
      {10, 18575 * (std::uint64_t{1} << 30) + 1, 1u << 30, text::PieceSizeTooSmall},
      {10, (std::uint64_t{1} << 32) + 5, 1, text::PieceSizeTooSmall},  // 5 in 32 bits
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    fake_test::Run run = Start(Bytes(row.size), row.pieceSize);
    fake::Entry& entry = fake::State().entries[fake::Key("a.bin")];
    if (row.reportedSize != 0) entry.reportedSize = row.reportedSize;
    EXPECT_FALSE(Divide(run));
    EXPECT_EQ(fake::State().output, std::string(row.message) + "\n");
    EXPECT_FALSE(fake::Exists(Piece(1)));
  }
  fake_test::Run run = Start(Bytes(18575), 1);  // the most pieces there are names for
  ASSERT_TRUE(Divide(run));
  EXPECT_EQ(fake::Data("a.bin.aaa"), std::string(1, static_cast<char>(999 % 251)));
  EXPECT_EQ(fake::Data("a.bin.zzz"), std::string(1, static_cast<char>(18574 % 251)));
  EXPECT_EQ(fake::State().entries.size(), 2u + 18575u);  // C:\work, the source, the pieces
}

// Sizes and offsets past 4 GiB in sparse files: zeros, then bytes that
// cross the last pieces' boundaries. The pieces join back; so does a set
// with a piece of over 4 GiB, as other tools make.
TEST(Divide, FilesOf4GiBAndMoreDivideAndJoinBack) {
  constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
  const std::string tail = "0123456789";
  const auto holds = [&](const std::string& name, std::uint64_t size, const std::string& data) {
    const std::string& stored = fake::State().entries[fake::Key(name)].data;
    EXPECT_EQ(fake::Size(name), size) << name;
    EXPECT_EQ(stored.substr(std::min(stored.find_first_not_of('\0'), stored.size())), data) << name;
  };
  const auto join = [](const std::string& first) {
    fake_test::Run run;  // on the files as they are
    std::snprintf(run.options.sourcePath, MAX_PATH, "C:\\work\\%s", first.c_str());
    return pieces::JoinPieces(run.options, run.state);
  };
  struct Row { std::uint64_t size, pieceSize; std::vector<std::uint64_t> pieces; };
  const Row rows[] = {
      {4 * GiB - 1, 2 * GiB, {2 * GiB, 2 * GiB - 1}},
      {4 * GiB, app::LargestPieceSize, {4 * GiB - 1, 1}},
      {4 * GiB + 1, 2 * GiB, {2 * GiB, 2 * GiB, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    fake_test::Run run = Start(tail, row.pieceSize);
    fake::State().entries[fake::Key("a.bin")].zeros = row.size - tail.size();
    ASSERT_TRUE(Divide(run));
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < row.pieces.size(); start += row.pieces[i++]) {
      const std::uint64_t end = start + row.pieces[i], tailStart = row.size - tail.size();
      const std::uint64_t from = std::max(start, tailStart);
      holds(Piece(i + 1), row.pieces[i], end > from ? tail.substr(from - tailStart, end - from) : "");
    }
    fake::State().entries.erase(fake::Key("a.bin"));
    EXPECT_TRUE(join(Piece(1)));
    holds("a.bin", row.size, tail);
  }
  fake_test::FreshRun();
  fake::AddFile("b.bin.001", "ab");
  fake::State().entries[fake::Key("b.bin.001")].zeros = 4 * GiB;
  fake::AddFile("b.bin.002", "cd");
  EXPECT_TRUE(join("b.bin.001"));
  holds("b.bin", 4 * GiB + 4, "abcd");
}

TEST(Divide, AsksBeforeOverwritingEachPiece) {
  struct Row { std::string keys; bool overwriteAll; int questions; bool ok; std::size_t written;
               bool allAfter; };
  // The last key answers the question about piece 5, left over from an
  // earlier division into more pieces: N keeps it; /Y deletes it unasked.
  const Row rows[] = {
      {.keys = "yYyyn", .overwriteAll = false, .questions = 4, .ok = true, .written = 4, .allAfter = false},
      {.keys = "yan", .overwriteAll = false, .questions = 2, .ok = true, .written = 4, .allAfter = true},
      {.keys = "yS", .overwriteAll = false, .questions = 2, .ok = false, .written = 0, .allAfter = false},
      {.keys = "", .overwriteAll = true, .questions = 0, .ok = true, .written = 4, .allAfter = true},
  };
  const std::string source = "0123456789";
  std::string ask = text::AskOverwrite;
  ask.resize(ask.find("%s"));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    fake_test::Run run = Start(source, 3);
    run.state.overwriteAll = run.options.yes = row.overwriteAll;
    for (std::size_t n = 1; n <= 5; ++n) fake::AddFile(Piece(n), "old");
    fake::State().keys.assign(row.keys.begin(), row.keys.end());
    EXPECT_EQ(Divide(run), row.ok);
    const std::string& out = fake::State().output;
    EXPECT_EQ(fake_test::CountOf(out, ask), row.questions);
    EXPECT_TRUE(fake::State().keys.empty());
    EXPECT_EQ(run.state.overwriteAll, row.allAfter);
    for (std::size_t n = 1; n <= 4; ++n) {
      const std::string expected = n <= row.written ? source.substr(3 * (n - 1), 3) : "old";
      // A division that stops has removed the older piece 1 it was allowed
      // to replace, and writes none of its own.
      EXPECT_EQ(fake::Exists(Piece(n)), row.ok || n != 1) << n;
      EXPECT_TRUE(!(row.ok || n != 1) || fake::Data(Piece(n)) == expected) << n;
    }
    EXPECT_EQ(fake::Exists(Piece(5)), !row.overwriteAll);
    EXPECT_EQ(out.find(fake_test::WithName(text::StaleKept, Piece(5))) != std::string::npos,
              row.ok && !row.overwriteAll);
    EXPECT_EQ(out.find(fake_test::WithName(text::FirstPieceNotWritten, Piece(1))) != std::string::npos,
              !row.ok);
    EXPECT_EQ(out.find(text::DivideStopped) != std::string::npos, !row.ok);
    EXPECT_EQ(out.find(text::DivideFinished) != std::string::npos, row.ok);
  }
}

TEST(Divide, ChecksumFileIsAskedAboutFirstOrGoesWithAnOlderSet) {
  // sums: the checksum file afterwards (empty: gone); said: the message that
  // names it; room: the bytes that can be written.
  struct Row { bool checksum; std::string keys; bool yes, ok; std::string sums; const char* said;
               std::uint64_t room = UINT64_MAX; };
  std::string sums;
  for (const auto& [data, name] : {std::pair{"012", "a.bin.001"}, {"345", "a.bin.002"},
                                   {"678", "a.bin.003"}, {"9", "a.bin.004"}, {"0123456789", "a.bin"}}) {
    sums += fake_test::SumLine(data, name);
  }
  const Row rows[] = {
      {true, "s", false, false, "old", text::DivideStopped},
      {true, "y", false, true, sums, nullptr},
      {false, "", true, true, "", text::StaleChecksumDeleted},
      {false, "n", false, true, "old", text::StaleKept},
      // The pieces fit, their checksum file does not: piece 1 keeps no name.
      {true, "y", false, false, "", text::FileWriteFailed, 10 + 64},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    fake_test::Run run = Start("0123456789", 3);
    run.options.checksum = row.checksum;
    run.state.overwriteAll = run.options.yes = row.yes;
    fake::AddFile("a.bin.sha256", "old");
    fake::State().keys.assign(row.keys.begin(), row.keys.end());
    fake::State().writeRoom = row.room;
    EXPECT_EQ(Divide(run), row.ok);
    EXPECT_TRUE(fake::State().keys.empty());
    EXPECT_EQ(fake::Exists(Piece(1)), row.ok);
    EXPECT_TRUE(row.room != UINT64_MAX ||
                (row.sums.empty() ? "" : fake::Data("a.bin.sha256")) == row.sums);
    EXPECT_TRUE(row.room != UINT64_MAX || fake::Exists("a.bin.sha256") == !row.sums.empty());
    // The message names the checksum file, not a piece.
    const std::string said = row.said ? fake_test::WithName(row.said, "a.bin.sha256") : "";
    EXPECT_TRUE(fake_test::Printed(said.c_str())) << fake::State().output;
  }
}

// The check found nothing; another program's file then appears before the
// open. It is never emptied without the question.
TEST(Divide, FileThatAppearsAfterTheCheckIsAskedAbout) {
  struct Row { std::string keys; bool ok; const char* piece2; };
  const Row rows[] = {{.keys = "s", .ok = false, .piece2 = "another program's"},
                      {.keys = "y", .ok = true, .piece2 = "345"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    fake_test::Run run = Start("0123456789", 3);
    fake::State().appearsBeforeCreate = Piece(2);
    fake::State().keys.assign(row.keys.begin(), row.keys.end());
    EXPECT_EQ(Divide(run), row.ok);
    EXPECT_TRUE(fake::State().keys.empty());
    EXPECT_EQ(fake::Data(Piece(2)), row.piece2);
  }
}

TEST(Divide, PieceNameTooLongForAPathIsNeverShortened) {
  fake_test::Run run = Start("0123456789", 3);
  const std::string folder = "C:\\" + std::string(250, 'd') + "\\";
  fake::AddFolder(folder);
  std::snprintf(run.options.destFolder, MAX_PATH, "%s", folder.c_str());
  const std::size_t entries = fake::State().entries.size();
  EXPECT_FALSE(Divide(run));
  EXPECT_EQ(fake::State().output, fake_test::WithName(text::FileOpenFailed, folder + "a.bin.001"));
  EXPECT_EQ(fake::State().entries.size(), entries);
}

// At the platform's limit, Windows' and a POSIX system's: the longest name
// that divides (piece 1's temporary name one byte short of the limit) also joins,
// and its batch file names its pieces; a byte more is refused.
TEST(Divide, LongestNameThatDividesAlsoJoins) {
  for (unsigned limit : {260u, 4096u}) {
    for (std::size_t extra : {0, 1}) {
      SCOPED_TRACE(testing::Message() << limit << " " << extra);
      fake::Reset();
      text::SetCodePage(932);
      fake::State().pathLimit = limit;
      fake::State().consolePresent = false;
      const std::size_t unfinished = pieces::UnfinishedElement("", 1).size();
      const std::string folder = "C:\\" + std::string(limit - 14 - unfinished + extra, 'd') + "\\";
      fake::AddFolder(folder);
      const std::string data = Bytes(2500);
      fake::AddFile(folder + "f.bin", data);
      const std::string source = folder + "f.bin", first = folder + "f.bin.001";
      std::vector<const char*> divide = {"divro", source.c_str(), "/1", folder.c_str(), "/C"};
      EXPECT_EQ(app::RunProgram(int(divide.size()), divide.data()), extra == 0 ? 0 : -1);
      if (extra != 0) continue;
      EXPECT_EQ(first.size() + unfinished, limit - 1);
      EXPECT_NE(fake::Data(folder + "f.cpy.bat").find("COPY /B f.bin + f.bin.003 f.bin"), std::string::npos);
      fake::State().entries.erase(fake::Key(source));
      std::vector<const char*> join = {"divro", first.c_str(), folder.c_str()};
      EXPECT_EQ(app::RunProgram(int(join.size()), join.data()), 0) << fake::State().output;
      EXPECT_EQ(fake::Data(source), data);
    }
  }
}

}  // namespace
