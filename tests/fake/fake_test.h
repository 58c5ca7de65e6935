// What the tests on the in-memory platform share: a fresh run, data whose
// slices all differ, and the checks every operation's way out must pass.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "app/run_options.h"
#include "pieces/checksum_file.h"
#include "platform/platform.h"
#include "platform/platform_fake.h"
#include "text/code_page.h"

namespace fake_test {

// What the entry point hands an operation: the options and the run's state.
struct Run {
  app::RunOptions options;
  app::RunState state;
};

// A fresh file system (C:\work current, drives C: and D:), code page 932,
// and a run with only the mode, the source and the destination set.
inline Run FreshRun(app::RunMode mode = app::ModeUndecided, const std::string& source = "",
                    const std::string& destFolder = "") {
  fake::Reset();
  text::SetCodePage(932);
  Run run;
  run.options.mode = mode;
  std::snprintf(run.options.sourcePath, MAX_PATH, "%s", source.c_str());
  std::snprintf(run.options.destFolder, MAX_PATH, "%s", destFolder.c_str());
  return run;
}

// For tests whose every case starts from a fresh run.
class FreshRunTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshRun(); }
};

// The checksum line sha256sum writes for `data` under `name`.
inline std::string SumLine(const std::string& data, const std::string& name) {
  platform::Sha256 hash;
  platform::Digest digest{};
  EXPECT_TRUE(hash.Update(data.data(), data.size()) && hash.Finish(&digest));
  return pieces::ChecksumLine(digest, name);
}

// 251 is prime, so no two slices of such data hold the same bytes; `seed`
// shifts the pattern, so two files differ too.
inline std::string Bytes(std::size_t size, std::size_t seed = 0) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i + 37 * seed) % 251);
  return data;
}

// Expected texts kept as files in tests/golden, written and checked by
// hand once; the batch files among them also run under Wine's command
// processor in the Windows tests.
inline std::string Golden(const std::string& name) {
  std::ifstream file(std::string(DIVRO_GOLDEN_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(file.good()) << name;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline bool Printed(const char* text) {
  return fake::State().output.find(text) != std::string::npos;
}

// A message whose %s stands for `name` (one without a %s as it is).
inline std::string WithName(const char* format, const std::string& name) {
  std::string message = format;
  const std::size_t at = message.find("%s");
  return at == std::string::npos ? message : message.replace(at, 2, name);
}

// A message whose %s stand for `names`, in order.
inline std::string WithNames(const char* format, std::initializer_list<std::string> names) {
  std::string message = format;
  for (const std::string& name : names) message.replace(message.find("%s"), 2, name);
  return message;
}

// How often `part` occurs in `text`, overlaps counted.
inline int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Every way out of an operation releases its blocks and closes its files.
inline void ExpectNothingHeld() {
  EXPECT_EQ(fake::State().liveBlocks, 0);
  EXPECT_EQ(fake::State().openFiles, 0);
}

}  // namespace fake_test
