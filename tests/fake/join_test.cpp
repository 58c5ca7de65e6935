// Joining on the in-memory platform: which pieces are taken, byte-for-byte
// output, refusals, the overwrite question and where the output goes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "pieces/checksum_file.h"
#include "pieces/join.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

// Short: 4 bytes reported as 6; a
// folder, a FIFO and a link pointing nowhere at a piece's name.
constexpr long long MiB = 1048576, Absent = -1, Short = -3, Folder = -4, Fifo = -5,
                    Dangling = -6;

std::string Bytes(long long size, std::size_t seed) {
  return fake_test::Bytes(static_cast<std::size_t>(size < 0 ? 4 : size), seed);
}

std::string Piece(std::size_t n) { return "C:\\work\\a.bin.00" + std::to_string(n); }

fake_test::Run Start(const std::string& source, const char* destFolder = "") {
  fake_test::Run run = fake_test::FreshRun(app::ModeJoin, source, destFolder);
  fake::AddFolder("D:\\out");
  return run;
}

// Every way out releases the buffer and closes both files.
bool Join(fake_test::Run& run) {
  bool ok = pieces::JoinPieces(run.options, run.state);
  fake_test::ExpectNothingHeld();
  return ok;
}

TEST(Join, TakesPiecesFromTheFirstUpToAGap) {
  // odd: the piece named as of another size than piece 1, and the answer
  // to the question that follows.
  struct Row { std::vector<long long> sizes; std::size_t given, joined; std::string failure;
               std::size_t odd = 0; char answer = 'y'; };
  const Row rows[] = {
      // A piece beyond the gap: joining up to it would give a shorter file.
      {{4, 4, Absent, 4}, 1, 0, fake_test::WithName(text::PieceMissing, Piece(3))},
      {{4, 4, 2}, 3, 3, ""}, {{5, 0, 3}, 1, 3, "", 1}, {{4, 4, 9}, 1, 3, ""},
      {{4, 4, 3, 4, 2}, 1, 5, "", 3}, {{4, 3, 3, 3}, 1, 4, "", 1},
      {{1, 3 * MiB, 11 * MiB}, 1, 3, "", 1},  // each piece needs a larger buffer
      {{4}, 1, 0, std::string(text::SecondPieceMissing) + "\n"},
      {{Absent, 4}, 2, 0, std::string(text::FirstPieceMissing) + "\n"},
      {{4, Short, 4}, 1, 0, Piece(1) + "\r" + Piece(2) + "\r" + fake_test::WithName(text::PieceReadFailed, Piece(2))},
      // A complete set and a stray piece after it; the same refused.
      {{4, 4, 2, 4}, 1, 4, "", 3}, {{4, 4, 2, 4}, 1, 0, "", 3, 'n'},
      // No file at a piece's name: the count ends there no more.
      {{4, 4, Folder}, 1, 0, fake_test::WithName(text::PieceNotAFile, Piece(3))},
      {{4, Fifo, 4}, 1, 0, fake_test::WithName(text::PieceNotAFile, Piece(2))},
      {{4, 4, Dangling}, 1, 0, fake_test::WithName(text::PieceMissing, Piece(3))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.sizes.size() << " pieces, " << row.given << " given");
    fake_test::Run run = Start(Piece(row.given));
    std::vector<std::string> data;
    for (std::size_t i = 0; i < row.sizes.size(); ++i) {
      data.push_back(Bytes(row.sizes[i], i));
      if (row.sizes[i] == Folder) fake::AddFolder(Piece(i + 1));
      if (row.sizes[i] == Folder || row.sizes[i] == Absent) continue;
      fake::AddFile(Piece(i + 1), data.back());
      fake::Entry& entry = fake::State().entries[fake::Key(Piece(i + 1))];
      entry.special = row.sizes[i] == Fifo;
      entry.link = entry.dangling = row.sizes[i] == Dangling;
      if (row.sizes[i] == Short) fake::State().entries[fake::Key(Piece(i + 1))].reportedSize = 6;
    }
    fake::State().keys.assign(1, row.answer);
    EXPECT_EQ(Join(run), row.joined != 0);
    std::string whole, progress;
    for (std::size_t n = 1; n <= row.sizes.size(); ++n) {
      if (n <= row.joined) whole += data[n - 1];
      if (n <= row.joined || row.answer == 'n') progress += Piece(n) + "\r";
    }
    std::string asked;
    const auto size = [&](std::size_t n) { return std::to_string(row.sizes[n - 1]); };
    if (row.odd == 1) {
      asked = fake_test::WithNames(text::FirstPieceSizeDiffers, {Piece(1), size(1), size(2)});
    } else if (row.odd != 0) {
      asked = fake_test::WithNames(text::PieceSizeDiffers, {Piece(row.odd), size(row.odd), size(1)});
    }
    if (row.odd != 0 && row.odd + 1 == row.sizes.size()) {
      asked += fake_test::WithNames(text::PieceFollows, {Piece(row.odd), Piece(row.odd + 1)});
    }
    if (row.odd != 0) asked += std::string(text::AskJoinAnyway) + row.answer + "\n";
    const std::string finished = progress + "\n" + asked + text::JoinFinished + "\n";
    const std::string refused = row.answer == 'n' ? progress + "\n" + asked : row.failure;
    EXPECT_EQ(fake::State().output, row.joined != 0 ? finished : refused);
    EXPECT_TRUE(row.joined != 0 || !fake::Exists("a.bin"));
    EXPECT_TRUE(row.joined == 0 || fake::Data("a.bin") == whole);
    for (std::size_t i = 0; i < row.sizes.size(); ++i) {
      const bool file = row.sizes[i] != Absent && row.sizes[i] != Folder;
      EXPECT_TRUE(!file || fake::Data(Piece(i + 1)) == data[i]) << i + 1;
    }
  }
}

TEST(Join, AsksBeforeReplacingTheOutput) {
  struct Row { std::string keys; bool overwriteAll, asked, ok, allAfter; };
  const Row rows[] = {
      {.keys = "y", .overwriteAll = false, .asked = true, .ok = true, .allAfter = false},
      {.keys = "A", .overwriteAll = false, .asked = true, .ok = true, .allAfter = true},
      {.keys = "s", .overwriteAll = false, .asked = true, .ok = false, .allAfter = false},
      {.keys = "", .overwriteAll = true, .asked = false, .ok = true, .allAfter = true}};
  std::string ask = text::AskOverwrite;
  ask.replace(ask.find("%s%s"), 4, "a.bin");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    fake_test::Run run = Start(Piece(1));
    run.state.overwriteAll = row.overwriteAll;
    fake::AddFile(Piece(1), "ab");
    fake::AddFile(Piece(2), "cd");
    fake::AddFile("a.bin", "old");
    fake::State().keys.assign(row.keys.begin(), row.keys.end());
    EXPECT_EQ(Join(run), row.ok);
    const std::string& out = fake::State().output;
    EXPECT_EQ(out.rfind(ask + row.keys + "\n", 0) == 0, row.asked);
    EXPECT_EQ(out.find(text::JoinStopped) != std::string::npos, !row.ok);
    EXPECT_EQ(fake::Data("a.bin"), row.ok ? "abcd" : "old");
    EXPECT_EQ(run.state.overwriteAll, row.allAfter);
  }
}

TEST(Join, OutputIsNamedByDroppingThePieceNumber) {
  struct Row { std::string pieceBase; const char* destFolder; const char* output; };
  const Row rows[] = {
      {"C:\\work\\a.bin", "D:\\out\\", "D:\\out\\a.bin"}, {"D:\\src\\a.bin", "", "C:\\work\\a.bin"},
      {"C:\\work\\README", "", "C:\\work\\README"}, {"C:\\work\\x.001", "", "C:\\work\\x.001"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pieceBase);
    fake_test::Run run = Start(row.pieceBase + ".001", row.destFolder);
    fake::AddFile(row.pieceBase + ".001", "ab");
    fake::AddFile(row.pieceBase + ".002", "cd");
    const std::size_t entries = fake::State().entries.size();
    EXPECT_TRUE(Join(run));
    EXPECT_EQ(fake::Data(row.output), "abcd");
    EXPECT_EQ(fake::State().entries.size(), entries + 1);  // nothing but the output
  }
}

// Windows opens x. as x: a name the path rules refuse is never handed on,
// so x is not emptied without a question.
TEST(Join, OutputNameThePathRulesRefuseIsNeverOpened) {
  for (const char* base : {"x.", "x "}) {
    SCOPED_TRACE(base);
    fake_test::Run run = Start(std::string(base) + ".001");
    fake::AddFile(std::string(base) + ".001", "ab");
    fake::AddFile(std::string(base) + ".002", "cd");
    fake::AddFile("x", "precious");
    EXPECT_FALSE(Join(run));
    EXPECT_EQ(fake::State().output, fake_test::WithName(text::FileOpenFailed, base));
    EXPECT_EQ(fake::Data("x"), "precious");
  }
}

// The checksum file's line for `data` under `name`.
constexpr auto Sum = &fake_test::SumLine;

// As a Windows tool may write it: upper-case digests, CRLF.
std::string Windows(const std::string& lines) {
  std::string out;
  for (std::size_t at = 0; at < lines.size();) {
    const std::size_t end = lines.find('\n', at);
    std::string line = lines.substr(at, end - at);
    for (std::size_t i = 0; i < 64; ++i) line[i] = static_cast<char>(std::toupper(line[i]));
    out += line + "\r\n";
    at = end + 1;
  }
  return out;
}

bool TemporaryLeft() {
  for (const auto& [key, entry] : fake::State().entries) {
    if (key.find(".UNFINISHED-") != std::string::npos) return true;
  }
  return false;
}

TEST(Join, ChecksTheChecksumFile) {
  // Piece 1 is longer than the others: without a checksum file a warning.
  const std::string p1 = "abcd", p2 = "efg", p3 = "hij", whole = p1 + p2 + p3;
  const std::string lines = Sum(p1, "a.bin.001") + Sum(p2, "a.bin.002") + Sum(p3, "a.bin.003");
  const std::string unreadable = fake_test::WithName(text::ChecksumUnreadable, "C:\\work\\a.bin.sha256");
  // sums: the checksum file (none when null); failure: the message ending the output.
  struct Row { const char* what; std::string sums; bool none, flip, required; std::string failure; };
  const Row rows[] = {
      {"every line matches", lines + Sum(whole, "a.bin"), false, false, false, ""},
      {"pieces only", lines, false, false, true, ""},
      {"CRLF, upper case", Windows(lines), false, false, false, ""},
      {"piece 2 flipped", lines + Sum(whole, "a.bin"), false, true, false,
       fake_test::WithName(text::PieceChecksumMismatch, "C:\\work\\a.bin.002")},
      // Each fault names what to fetch again: a piece, or a line of the file.
      {"too few pieces", Sum(p1, "a.bin.001") + Sum(p2, "a.bin.002"), false, false, false,
       fake_test::WithNames(text::PieceNotListed, {"C:\\work\\a.bin.003", "C:\\work\\a.bin.sha256"})},
      {"too many pieces", lines + Sum(p3, "a.bin.004"), false, false, false,
       fake_test::WithName(text::PieceMissing, "C:\\work\\a.bin.004")},
      {"another set's line", lines + Sum(whole, "b.bin"), false, false, false,
       fake_test::WithNames(text::ChecksumLineUnreadable, {"C:\\work\\a.bin.sha256", "4"})},
      {"malformed", "not a checksum line\n", false, false, false,
       fake_test::WithNames(text::ChecksumLineUnreadable, {"C:\\work\\a.bin.sha256", "1"})},
      {"a byte-order mark past line 1", Sum(p1, "a.bin.001") + "\xEF\xBB\xBF" + Sum(p2, "a.bin.002"), false,
       false, false, fake_test::WithNames(text::ChecksumLineUnreadable, {"C:\\work\\a.bin.sha256", "2"})},
      {"other tools' forms", "\xEF\xBB\xBF# by hand\r\n\r\n" + Sum(p1, "./a.bin.001") +
       "SHA256 (a.bin.002) = " + Sum(p2, "").substr(0, 64) + "\r\n" + Sum(p3, "a.bin.003").substr(0, 75),  // no final line end
       false, false, false, ""},
      {"empty", "", false, false, false, unreadable},
      {"/H without a checksum file", "", true, false, true, unreadable},
      {"whole file only", Sum(whole, "a.bin"), false, false, true, ""},
      {"whole file only, flipped", Sum(whole, "a.bin"), false, true, false,
       fake_test::WithName(text::JoinedChecksumMismatch, "a.bin")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fake_test::Run run = Start(Piece(1));
    run.state.overwriteAll = true;
    run.options.checksum = row.required;
    fake::AddFile(Piece(1), p1);
    fake::AddFile(Piece(2), row.flip ? "efG" : p2);
    fake::AddFile(Piece(3), p3);
    fake::AddFile("a.bin", "old");
    if (!row.none) fake::AddFile("a.bin.sha256", row.sums);
    EXPECT_EQ(Join(run), row.failure.empty());
    const std::string& out = fake::State().output;
    const std::string end = row.failure.empty() ? std::string(text::JoinFinished) + "\n" : row.failure;
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), end.size())), end);
    EXPECT_FALSE(fake_test::Printed(text::PieceSizeDiffers));
    EXPECT_EQ(fake::Data("a.bin"), row.failure.empty() ? whole : "old");
    EXPECT_FALSE(TemporaryLeft());
  }
  // English puts the line's number first.
  fake_test::Run run = Start(Piece(1));
  fake::State().englishMessages = true;
  for (int n = 1; n <= 3; ++n) fake::AddFile(Piece(n), "x");
  fake::AddFile("a.bin.sha256", lines + "junk\n");
  EXPECT_FALSE(Join(run));
  EXPECT_TRUE(fake_test::Printed("Line 4 of the checksum file 'C:\\work\\a.bin.sha256' cannot be read.\n"));
  // A bad last piece where only piece lines are there to tell: pieces
  // large enough to be hashed apart from the copy.
  run = Start(Piece(1));
  const std::string large1 = fake_test::Bytes(70000, 1), large2 = fake_test::Bytes(70000, 2);
  fake::AddFile(Piece(1), large1);
  fake::AddFile(Piece(2), large2);
  fake::AddFile("a.bin.sha256", Sum(large1, "a.bin.001") + Sum(large1, "a.bin.002"));
  EXPECT_FALSE(Join(run));
  EXPECT_NE(fake::State().output.find(fake_test::WithName(text::PieceChecksumMismatch, Piece(2))),
            std::string::npos);
  EXPECT_FALSE(fake::Exists("a.bin"));
}

}  // namespace

namespace {

// The joined file is written beside the output and renamed over it, with
// the old one's access; in place only where that would lose something or
// cannot work, and then only once every piece was opened (and matched).
TEST(Join, WritesBesideTheOutputOrInPlace) {
  const std::string sums = Sum("abc", "a.bin.001") + Sum("deF", "a.bin.002");
  // inPlace: the old output's file took the bytes; left: what a.bin holds.
  struct Row { const char* what; std::function<void()> setUp; bool ok, inPlace; std::string left; };
  const Row rows[] = {
      {"a private output", [] {}, true, false, "abcdef"},
      {"a second name", [] { fake::State().entries[fake::Key("b.bin")] = fake::State().entries[fake::Key("a.bin")]; },
       true, true, "abcdef"},
      {"extended attributes", [] { fake::State().entries[fake::Key("a.bin")].extraAttributes = true; }, true, true, "abcdef"},
      {"a folder without new files", [] { fake::State().noCreateFolders.insert(fake::Key("C:\\work")); },
       true, true, "abcdef"},
      {"no room for a copy", [] { fake::State().freeSpace = 5; }, true, true, "abcdef"},
      {"no room, a bad piece", [sums] { fake::State().freeSpace = 5; fake::AddFile("a.bin.sha256", sums); },
       false, true, "old"},
      {"held by another program", [] { fake::State().entries[fake::Key("a.bin")].heldByOther = true; },
       false, false, "old"},
      {"temporary names taken", [] {
         fake::AddFolder("a.bin.unfinished-1");
         fake::AddFile("a.bin.unfinished-2", "");
         fake::State().entries[fake::Key("a.bin.unfinished-2")].special = true;
       }, true, false, "abcdef"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fake_test::Run run = Start(Piece(1));
    run.state.overwriteAll = true;
    fake::AddFile(Piece(1), "abc");
    fake::AddFile(Piece(2), "def");
    fake::AddFile("a.bin", "old");
    fake::Entry& old = fake::State().entries[fake::Key("a.bin")];
    old.mode = 0600;
    old.id = 777;
    row.setUp();
    EXPECT_EQ(Join(run), row.ok) << fake::State().output;
    const fake::Entry& now = fake::State().entries[fake::Key("a.bin")];
    EXPECT_EQ(now.data, row.left);
    EXPECT_EQ(now.id == 777, row.inPlace || !row.ok);
    EXPECT_EQ(now.mode, 0600);
    EXPECT_FALSE(TemporaryLeft() && std::string(row.what) != "temporary names taken");
  }
  // Nothing to write in place over, and no new file may be made.
  fake_test::Run run = Start(Piece(1));
  fake::AddFile(Piece(1), "abc");
  fake::AddFile(Piece(2), "def");
  fake::State().noCreateFolders.insert(fake::Key("C:\\work"));
  EXPECT_FALSE(Join(run));
  EXPECT_EQ(fake::State().output, fake_test::WithName(text::TemporaryCreateFailed, ".\\"));
}

}  // namespace
