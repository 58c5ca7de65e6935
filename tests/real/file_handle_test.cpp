#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "fresh_folder.h"
#include "path/file_handle.h"
#include "pieces/chunk_copy.h"
#include "pieces/piece_names.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

struct RealFileHandle : InFreshFolder {
  static void Put(const char* name, const char* data) { std::ofstream(name) << data; }
};

TEST_F(RealFileHandle, FailedOpenKeepsThePathAndClosesTheEarlierFile) {
  path::FileHandle file;
  std::uint32_t low = 7;
  EXPECT_FALSE(file.QuerySize(&low, nullptr));  // nothing opened yet
  ASSERT_NE(file.Open("a.bin", "w"), platform::InvalidFile);
  EXPECT_EQ(file.Write("abc", 3), 3u);
  EXPECT_EQ(file.Open("missing.bin", "r"), platform::InvalidFile);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Write("def", 3), 0u);
  EXPECT_STREQ(file.Path(), "missing.bin");
  EXPECT_FALSE(file.QuerySize(&low, nullptr));
  EXPECT_EQ(low, 7u);
  Put("missing.bin", "12345");  // the stored path is looked up, not the handle
  EXPECT_TRUE(file.QuerySize(&low, nullptr));
  EXPECT_EQ(low, 5u);
  file.Close();
  EXPECT_STREQ(file.Path(), "missing.bin");
  // On Windows a file open for writing admits no reader: this shows it was closed.
  ASSERT_NE(file.Open("a.bin", "r"), platform::InvalidFile);
  char buffer[16];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
}

TEST_F(RealFileHandle, ReadGivesWhatRemainsAndWriteModeEmpties) {
  Put("data.bin", "0123456789");
  path::FileHandle file;
  ASSERT_NE(file.Open("data.bin", "r"), platform::InvalidFile);
  char buffer[32] = {};
  EXPECT_EQ(file.Read(buffer, 4), 4u);
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 6u);
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
  EXPECT_TRUE(file.SeekBack(3));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string(buffer, 3), "789");
  // Only a lower-case r or w chooses an access; any other mode transfers nothing.
  for (const char* mode : {"R", "W", "x"}) {
    ASSERT_NE(file.Open("data.bin", mode), platform::InvalidFile) << mode;
    EXPECT_EQ(file.Read(buffer, sizeof buffer) + file.Write("x", 1), 0u) << mode;
  }
  ASSERT_NE(file.Open("data.bin", "w"), platform::InvalidFile);
  file.Close();
  EXPECT_EQ(fs::file_size("data.bin"), 0u);
}

// A file written over keeps none of its old bytes behind the new ones: cut
// off by EndHere, or by Close after a write that stopped half-way.
TEST_F(RealFileHandle, OverwriteLeavesNoOldBytesBehind) {
  struct Row { const char* before; std::string written; bool endHere; };
  const Row rows[] = {{"0123456789", "abc", true}, {"0123456789", "abc", false},
                      {"01", "abcd", true}, {"0123", "abcd", false}, {"", "", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.before);
    Put("piece.bin", row.before);
    {
      path::FileHandle file;
      ASSERT_TRUE(file.Open("piece.bin", platform::OpenMode::Overwrite));
      const auto n = static_cast<std::uint32_t>(row.written.size());
      EXPECT_EQ(file.Write(row.written.data(), n), n);
      EXPECT_TRUE(!row.endHere || file.EndHere());
    }
    std::ifstream piece("piece.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(piece), {}), row.written);
  }
}

// Whether another program may read (or write) the file now: on Windows one
// that shares reading and writing, as most do; on POSIX one that takes a
// shared (or an exclusive) lock.
bool AnotherGetsIn(const char* name, bool write = false) {
#ifdef _WIN32
  HANDLE file = CreateFileA(name, write ? GENERIC_WRITE : GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
#else
  const int fd = open(name, write ? O_WRONLY : O_RDONLY);
  if (fd < 0) return false;
  const bool in = flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
  close(fd);
  return in;
#endif
}

TEST_F(RealFileHandle, AFileBeingWrittenHasNoReader) {
  Put("piece.bin", "an older piece");
  const platform::FileId piece = platform::FileOpen("piece.bin", platform::OpenMode::Replace);
  ASSERT_NE(piece, platform::InvalidFile);
  EXPECT_FALSE(AnotherGetsIn("piece.bin"));  // it would read half a piece
  platform::FileClose(piece);
  EXPECT_TRUE(AnotherGetsIn("piece.bin"));
  // Nor has a piece being read a writer: the join would copy a mix.
  const platform::FileId read = platform::FileOpen("piece.bin", platform::OpenMode::Read);
  ASSERT_NE(read, platform::InvalidFile);
  EXPECT_FALSE(AnotherGetsIn("piece.bin", true));
  platform::FileClose(read);
  EXPECT_TRUE(AnotherGetsIn("piece.bin", true));
}

TEST_F(RealFileHandle, AFileOfTheRunIsNeverEmptiedUnderAnotherName) {
  Put("source.bin", "source");
  platform::OpenedFiles files;
  const platform::FileId source = platform::FileOpen("source.bin", platform::OpenMode::Read, &files);
  ASSERT_NE(source, platform::InvalidFile);
  platform::FileClose(source);  // read and closed, still a file of the run
  fs::create_hard_link("source.bin", "piece.bin");
  EXPECT_EQ(platform::FileOpen("piece.bin", platform::OpenMode::Replace, &files), platform::InvalidFile);
  EXPECT_EQ(fs::file_size("source.bin"), 6u);
}

TEST_F(RealFileHandle, QueryFileSize) {
  fs::create_directory("folder");
  Put("five.bin", "12345");
  std::uint32_t low = 7, high = 7;
  EXPECT_FALSE(path::QueryFileSize("folder", &low, &high));
  EXPECT_FALSE(path::QueryFileSize("nothing", &low, &high));
  EXPECT_EQ(low + high, 14u);
  EXPECT_TRUE(path::QueryFileSize("five.bin", nullptr, nullptr));
  EXPECT_FALSE(path::QueryFileSize("folder", nullptr, nullptr));
  EXPECT_TRUE(path::QueryFileSize("folder\\..\\five.bin", &low, &high));
  EXPECT_EQ(low + high, 5u);
  // 4 GiB and 10 bytes, sparse where the file system can.
  std::ofstream("big.bin").close();
  std::error_code refused;
  fs::resize_file("big.bin", (std::uintmax_t{1} << 32) + 10, refused);
  if (refused) GTEST_SKIP() << "the file system refuses a file of 4 GiB: " << refused.message();
  EXPECT_TRUE(path::QueryFileSize("big.bin", &low, &high));
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(low, 10u);
}

}  // namespace

// What an inspector saw, piece by piece; it refuses piece `refuseAt`.
struct Recorder {
  std::string seen;
  std::string pieces;  // "[n" at each start, "]n" at each finish
  int refuseAt = 0;
  bool StartPiece() { return pieces += "[", true; }
  // Slow on purpose: a buffer read into again too early shows every time.
  bool Add(const char* data, std::uint32_t size) {
    std::this_thread::sleep_for(std::chrono::milliseconds(size >= 65536 ? 20 : 0));
    return seen.append(data, size), true;
  }
  bool FinishPiece(int n) {
    pieces += "]" + std::to_string(n);
    return n != refuseAt;
  }
};

// Pieces on both sides of the hand-over to the second thread, and of more
// than one chunk: the output and the inspector get every byte in order;
// a refusal stops the copy by the end at the latest.
TEST_F(RealFileHandle, ChunkCopierHandsEveryByteOverInOrder) {
  const std::uint32_t sizes[] = {1, 65535, 65536, pieces::ChunkSize + 1, 2 * pieces::ChunkSize + 7, 3};
  std::size_t total = 0;
  for (std::uint32_t size : sizes) total += size;
  std::string data;
  for (std::size_t i = 0; i < total; ++i) data += static_cast<char>(i * 131 % 251);
  std::ofstream("source.bin", std::ios::binary) << data;
  // One source read ahead of its small pieces, then drained into larger ones.
  for (const auto source : {pieces::Source::FilePerPiece, pieces::Source::OneFile})
  for (int refuseAt : {0, 4, 5}) {
    Recorder recorder;
    recorder.refuseAt = refuseAt;
    bool refused = false;
    int stoppedAt = 0;  // the piece whose copy said Refused
    {
      pieces::ChunkCopier copier(pieces::InspectorOf(recorder), source);
      path::FileHandle from, to;
      ASSERT_NE(from.Open("source.bin", "r"), platform::InvalidFile);
      ASSERT_NE(to.Open("copy.bin", "w"), platform::InvalidFile);
      int n = 0;
      for (std::uint32_t size : sizes) {
        ASSERT_TRUE(copier.Reserve(size));
        const auto outcome = copier.CopyPiece(++n, from, to, size, [] {}).outcome;
        if (outcome == pieces::ChunkCopier::Outcome::Refused) {
          stoppedAt = n;
          break;
        }
        ASSERT_EQ(outcome, pieces::ChunkCopier::Outcome::Copied);
      }
      refused = stoppedAt != 0 || !copier.Finish();
    }
    SCOPED_TRACE(testing::Message() << refuseAt << (source == pieces::Source::OneFile ? " ahead" : ""));
    EXPECT_EQ(refused, refuseAt != 0);
    // A piece late at most, not only at the end: a join stops writing.
    EXPECT_TRUE(refuseAt == 0 || stoppedAt == refuseAt || stoppedAt == refuseAt + 1) << stoppedAt;
    if (refuseAt != 0) continue;
    EXPECT_EQ(recorder.pieces, "[]1[]2[]3[]4[]5[]6");
    EXPECT_TRUE(recorder.seen == data);
    std::ifstream copy("copy.bin", std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(copy), {}) == recorder.seen);
  }
}
