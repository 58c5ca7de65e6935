// SHA-256 from the platform's library, and checksum files that GNU
// sha256sum writes byte for byte the same and checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fresh_folder.h"
#include "pieces/checksum_file.h"
#include "platform/platform.h"

namespace {

// The digest of `data` fed `step` bytes an update, or nothing when a call failed.
std::string HexOf(const std::string& data, std::size_t step) {
  platform::Sha256 hash;
  for (std::size_t at = 0; at < data.size(); at += step) {
    if (!hash.Update(data.data() + at, std::min(step, data.size() - at))) return "";
  }
  platform::Digest digest{};
  return hash.Finish(&digest) ? pieces::DigestHex(digest) : "";
}

TEST(Sha256, KnownAnswers) {
  const struct { std::string data, hex; } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& row : rows) {
    for (std::size_t step : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, row.data.size() + 1}) {
      if (step == 1 && row.data.size() > 1000) continue;
      EXPECT_EQ(HexOf(row.data, step), row.hex) << row.data.size() << " bytes, " << step << " a call";
    }
  }
}

TEST(Sha256, NothingAfterTheDigest) {
  platform::Sha256 hash;
  platform::Digest digest{};
  ASSERT_TRUE(hash.Update("abc", 3));
  ASSERT_TRUE(hash.Finish(&digest));
  EXPECT_FALSE(hash.Update("d", 1));
  EXPECT_FALSE(hash.Finish(&digest));
  EXPECT_EQ(pieces::DigestHex(digest),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

struct ChecksumFileOnDisk : InFreshFolder {
  // The set's files, in byte order: the names that need escaping among them.
  const std::vector<std::pair<std::string, std::string>> files = {
      {"f\n.avi", "line feed"},     {"f\r.avi", "carriage return"}, {"f .avi.001", "piece one"},
      {"f .avi.002", "piece two"},  {"f\\.avi", "backslash"},      {"f\xe8\xa1\xa8.avi", ""},
  };
  static int Run(const std::string& command) { return std::system(command.c_str()); }
  static std::string Read(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(ChecksumFileOnDisk, Sha256sumWritesTheSameLinesAndChecksOurs) {
  if (platform::Naming() != platform::NamingRules::Posix ||
      Run("sha256sum --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no GNU sha256sum";
  std::string ours;
  for (const auto& [name, data] : files) {
    std::ofstream(std::filesystem::path(name), std::ios::binary) << data;
    platform::Sha256 hash;
    platform::Digest digest{};
    ASSERT_TRUE(hash.Update(data.data(), data.size()) && hash.Finish(&digest));
    ours += pieces::ChecksumLine(digest, name);
  }
  std::ofstream("set.sha256", std::ios::binary) << ours;
  ASSERT_EQ(Run("LC_ALL=C sha256sum -- f* >gnu.sha256"), 0);
  EXPECT_EQ(Read("gnu.sha256"), ours);
  EXPECT_EQ(Run("sha256sum --quiet --strict -c set.sha256"), 0);
  // Ours names what GNU's names.
  std::vector<pieces::ChecksumEntry> entries;
  ASSERT_TRUE(pieces::ParseChecksumFile(Read("gnu.sha256"), &entries));
  ASSERT_EQ(entries.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(entries[i].name, files[i].first);
  // And the check can fail: a piece changed.
  std::ofstream("f .avi.002", std::ios::binary) << "piece 2";
  EXPECT_NE(Run("sha256sum --quiet --strict -c set.sha256 >/dev/null 2>&1"), 0);
}

}  // namespace
