// Joining on the in-memory platform: which pieces are taken, byte-for-byte
// output, refusals, the overwrite question and where the output goes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "pieces/join.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

constexpr long long MiB = 1048576, Absent = -1, Huge = -2;  // Huge: 4 bytes reported as 4 GiB + 4

std::string Bytes(long long size, std::size_t seed) {
  return fake_test::Bytes(static_cast<std::size_t>(size < 0 ? 4 : size), seed);
}

std::string Piece(std::size_t n) { return "C:\\work\\a.bin.00" + std::to_string(n); }

void Start(const std::string& source, const char* destFolder = "") {
  fake_test::FreshRun(app::ModeJoin, source, destFolder);
  fake::AddFolder("D:\\out");
}

// Every way out releases the buffer and closes both files.
bool Join() {
  bool ok = pieces::JoinPieces();
  fake_test::ExpectNothingHeld();
  return ok;
}

TEST(Join, TakesPiecesFromTheFirstUpToAGap) {
  // odd: the piece a warning names as of another size than piece 1.
  struct Row { std::vector<long long> sizes; std::size_t given, joined; std::string failure;
               std::size_t odd = 0; };
  const std::string failedSize = fake_test::WithName(text::PieceSizeFailed, Piece(2));
  const Row rows[] = {
      // A piece beyond the gap: joining up to it would give a shorter file.
      {{4, 4, Absent, 4}, 1, 0, fake_test::WithName(text::PieceMissing, Piece(3))},
      {{4, 4, 2}, 3, 3, ""}, {{5, 0, 3}, 1, 3, "", 1}, {{4, 4, 9}, 1, 3, ""},
      {{4, 4, 3, 4, 2}, 1, 5, "", 3}, {{4, 3, 3, 3}, 1, 4, "", 1},
      {{1, 3 * MiB, 11 * MiB}, 1, 3, "", 1},  // each piece needs a larger buffer
      {{4}, 1, 0, std::string(text::SecondPieceMissing) + "\n"},
      {{Absent, 4}, 2, 0, std::string(text::FirstPieceMissing) + "\n"},
      {{4, Huge, 4}, 1, 0, Piece(1) + "\r" + Piece(2) + "\r" + failedSize},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.sizes.size() << " pieces, " << row.given << " given");
    Start(Piece(row.given));
    std::vector<std::string> data;
    for (std::size_t i = 0; i < row.sizes.size(); ++i) {
      data.push_back(Bytes(row.sizes[i], i));
      if (row.sizes[i] != Absent) fake::AddFile(Piece(i + 1), data.back());
      if (row.sizes[i] != Huge) continue;
      fake::State().entries[fake::Key(Piece(i + 1))].reportedSize = (std::uint64_t{1} << 32) + 4;
    }
    EXPECT_EQ(Join(), row.joined != 0);
    std::string whole, progress;
    for (std::size_t n = 1; n <= row.joined; ++n) whole += data[n - 1], progress += Piece(n) + "\r";
    const std::string warning = row.odd ? fake_test::WithName(text::PieceSizeDiffers, Piece(row.odd)) : "";
    const std::string finished = progress + "\n" + warning + text::JoinFinished + "\n";
    EXPECT_EQ(fake::State().output, row.joined != 0 ? finished : row.failure);
    EXPECT_TRUE(row.joined == 0 || fake::Data("a.bin") == whole);
    for (std::size_t i = 0; i < row.sizes.size(); ++i) {
      EXPECT_TRUE(row.sizes[i] == Absent || fake::Data(Piece(i + 1)) == data[i]) << i + 1;
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
    Start(Piece(1));
    app::g_runOptions.overwriteAll = row.overwriteAll;
    fake::AddFile(Piece(1), "ab");
    fake::AddFile(Piece(2), "cd");
    fake::AddFile("a.bin", "old");
    fake::State().keys.assign(row.keys.begin(), row.keys.end());
    EXPECT_EQ(Join(), row.ok);
    const std::string& out = fake::State().output;
    EXPECT_EQ(out.rfind(ask + row.keys + "\n", 0) == 0, row.asked);
    EXPECT_EQ(out.find(text::JoinStopped) != std::string::npos, !row.ok);
    EXPECT_EQ(fake::Data("a.bin"), row.ok ? "abcd" : "old");
    EXPECT_EQ(app::g_runOptions.overwriteAll, row.allAfter);
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
    Start(row.pieceBase + ".001", row.destFolder);
    fake::AddFile(row.pieceBase + ".001", "ab");
    fake::AddFile(row.pieceBase + ".002", "cd");
    const std::size_t entries = fake::State().entries.size();
    EXPECT_TRUE(Join());
    EXPECT_EQ(fake::Data(row.output), "abcd");
    EXPECT_EQ(fake::State().entries.size(), entries + 1);  // nothing but the output
  }
}

// Windows opens x. as x: a name the path rules refuse is never handed on,
// so x is not emptied without a question.
TEST(Join, OutputNameThePathRulesRefuseIsNeverOpened) {
  for (const char* base : {"x.", "x "}) {
    SCOPED_TRACE(base);
    Start(std::string(base) + ".001");
    fake::AddFile(std::string(base) + ".001", "ab");
    fake::AddFile(std::string(base) + ".002", "cd");
    fake::AddFile("x", "precious");
    EXPECT_FALSE(Join());
    EXPECT_EQ(fake::State().output, fake_test::WithName(text::FileOpenFailed, base));
    EXPECT_EQ(fake::Data("x"), "precious");
  }
}

}  // namespace
