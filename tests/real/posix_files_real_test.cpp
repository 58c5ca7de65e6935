// What only POSIX shows: links, FIFOs, other holders' locks, modes, signals.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "fresh_folder.h"
#include "platform/platform.h"

namespace fs = std::filesystem;
using platform::OpenMode;

namespace {

// A file, a link to it, a link to nothing, a FIFO, a folder, and a file
// that another open file description holds locked.
struct PosixFiles : InFreshFolder {
  int holder = -1;
  void SetUp() override {
    InFreshFolder::SetUp();
    for (const char* name : {"file", "held"}) std::ofstream(name) << "kept";
    fs::create_symlink("file", "link");
    fs::create_symlink("nowhere", "dangling");
    mkfifo("fifo", 0644);
    fs::create_directory("folder");
    holder = open("held", O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  }
  ~PosixFiles() override { close(holder); }
  static bool Exists(const char* name) { return fs::exists(fs::symlink_status(name)); }
  static unsigned Mode(const char* name) {
    return static_cast<unsigned>(fs::status(name).permissions());
  }
};

TEST_F(PosixFiles, HoldAndTemporaryTakeNoFileTheyShouldNot) {
  platform::Folder here("x");
  // The failure code: 0 for the program's own refusal; -1 for a taken name.
  const struct { const char* name; OpenMode mode; int code; } rows[] = {
      {"link", OpenMode::Hold, 0},          {"fifo", OpenMode::Hold, 0},
      {"held", OpenMode::Hold, EWOULDBLOCK}, {"file", OpenMode::Temporary, -1},
      {"fifo", OpenMode::Temporary, -1},    {"dangling", OpenMode::Temporary, -1},
      {"no\\t", OpenMode::Temporary, ENOENT}};
  for (const auto& row : rows) {
    platform::Failure failure{-2, "", ""};
    EXPECT_EQ(platform::FileOpen(here, row.name, row.mode, nullptr, nullptr, &failure),
              platform::InvalidFile);
    EXPECT_TRUE(row.code == -1 ? platform::NameTaken(failure) : failure.code == row.code)
        << row.name << " " << failure.code;
  }
  EXPECT_FALSE(Exists("nowhere"));
  platform::OpenedFiles files;
  std::uint64_t size = 0;
  const platform::FileId old = platform::FileOpen(here, "file", OpenMode::Hold, &files, &size);
  const platform::FileId file = platform::FileOpen(here, "t", OpenMode::Temporary);
  ASSERT_TRUE(old != platform::InvalidFile && file != platform::InvalidFile);
  platform::FileIdentity identity;
  EXPECT_TRUE(platform::IdentityOf(here, "file", &identity) && files.Holds(identity));
  EXPECT_EQ(size, 4u);
  const int reader = open("file", O_RDONLY);
  EXPECT_NE(flock(reader, LOCK_SH | LOCK_NB), 0);  // held as a writer holds it
  close(reader);
  EXPECT_EQ(Mode("t"), 0600u);
  chmod("file", 0751);
  EXPECT_TRUE(platform::CopyAccess(old, file));
  EXPECT_EQ(Mode("t"), 0751u);
#ifdef __linux__  // macOS takes these with other arguments
  if (flistxattr(static_cast<int>(old), nullptr, 0) == 0) {
    EXPECT_TRUE(platform::ReplaceableByNewFile(old));
  }
  if (fsetxattr(static_cast<int>(old), "user.divro", "", 0, 0) == 0) {
    EXPECT_FALSE(platform::ReplaceableByNewFile(old));
    fremovexattr(static_cast<int>(old), "user.divro");
  }
#endif
  fs::create_hard_link("file", "second");
  EXPECT_FALSE(platform::ReplaceableByNewFile(old));
  platform::FileClose(old);
  platform::FileClose(file);
  EXPECT_EQ(fs::file_size("file"), 4u);
}

TEST_F(PosixFiles, LookupsTellLinksAndRemovalsLeaveAHeldFile) {
  chmod("file", 0);  // no lock to be had: removed all the same
  platform::Folder here("x");
  using R = platform::Removal;
  const struct { const char* name; bool link, dangling; R removal; } rows[] = {
      {"held", false, false, R::InUse},    {"link", true, false, R::Removed},
      {"dangling", true, true, R::Removed}, {"file", false, false, R::Removed},
      {"folder", false, false, R::Failed}};
  for (const auto& row : rows) {
    platform::DirEntry entry;
    entry.isLink = entry.isDangling = !row.link;  // as an entry used before
    ASSERT_TRUE(platform::LookupEntry(here, row.name, &entry));
    EXPECT_EQ(entry.isLink, row.link) << row.name;
    EXPECT_EQ(entry.isDangling, row.dangling) << row.name;
    platform::Failure failure;
    EXPECT_EQ(platform::RemoveUnlessInUse(here, row.name, &failure), row.removal) << row.name;
    EXPECT_EQ(Exists(row.name), row.removal != R::Removed) << row.name;
    EXPECT_EQ(failure.code, row.removal == R::Failed ? EISDIR : 0) << row.name;
  }
  EXPECT_EQ(platform::RemoveUnlessInUse(here, "missing"), R::Gone);
  std::uint64_t free = 0;  // give or take what is written meanwhile
  ASSERT_TRUE(platform::FreeSpace(here, &free));
  EXPECT_NEAR(static_cast<double>(free), static_cast<double>(fs::space(".").available), 64e6);
}

// A run that stops by a signal, or commits, with its temporary file "t"
// guarded: how it ended, and whether "t" is left.
TEST_F(PosixFiles, AnInterruptRemovesTheGuardedFileOnly) {
  using Run = std::function<bool(const platform::Folder&, platform::FileId)>;
  const Run nothing = [](auto&, auto) { return true; };
  const struct {
    const char* what;
    Run run;      // false: the child exits with status 3
    int endedBy;  // the signal, or minus the exit status
    bool left;
  } rows[] = {
      {"interrupted", nothing, SIGTERM, false},
      {"ignored", nothing, 0, true},
      {"unguarded", [](auto&, auto) { return platform::UnguardTemporary(), true; }, SIGTERM, true},
      {"taken",
       [](auto& here, auto) {
         platform::Failure failure;
         return !platform::CommitTemporary(here, "t", "file", false, &failure) &&
                platform::NameTaken(failure) && PosixFiles::Exists("t");
       },
       SIGTERM, false},
      {"committed",
       [](auto& here, auto) {
         return platform::CommitTemporary(here, "t", "new", false) && PosixFiles::Exists("new") &&
                (std::ofstream("t") << "another", true);  // no longer the guarded file
       },
       SIGTERM, true},
      {"too big",
       [](auto&, platform::FileId file) {
         const rlimit limit{4, RLIM_INFINITY};
         return setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                platform::FileWrite(file, "12345", 5) == 4 && platform::FileWrite(file, "5", 1) == 0;
       },
       SIGTERM, false},
  };
  for (const auto& row : rows) {
    const pid_t child = fork();
    if (child == 0) {
      if (row.endedBy == 0) signal(SIGTERM, SIG_IGN);
      platform::Folder here("x");
      const platform::FileId file = platform::FileOpen(here, "t", OpenMode::Temporary);
      platform::GuardTemporary(here, "t");
      if (file == platform::InvalidFile || !row.run(here, file)) _exit(3);
      raise(SIGTERM);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : -WEXITSTATUS(status), row.endedBy)
        << row.what;
    EXPECT_EQ(Exists("t"), row.left) << row.what;
    EXPECT_EQ(fs::file_size("file"), 4u) << row.what;
    for (const char* name : {"new", "t"}) fs::remove(name);
  }
}

}  // namespace
#endif
