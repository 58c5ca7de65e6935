// Dividing and joining move bytes inside the kernel where they can; a copy
// that stops short hands the rest to read and write, so every byte arrives
// and a failure is still named as the read's or the write's.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/run_options.h"
#include "pieces/divide.h"
#include "pieces/pending_file.h"
#include "pieces/join.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

std::string Pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 131 + i / 251);
  return data;
}

fake_test::Run StartWith(std::uint32_t kernelCopyLimit) {
  fake_test::Run run = fake_test::FreshRun();
  fake::State().kernelCopyLimit = kernelCopyLimit;
  return run;
}

}  // namespace

TEST(KernelCopy, WholeShortAndAbsentCopiesDivideAndJoinAlike) {
  const std::string source = Pattern(12 * 1024 * 1024 + 17);
  // No kernel copy, a copy that stops after 1000 bytes, one that moves all.
  for (std::uint32_t limit : {0u, 1000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(limit);
    fake_test::Run run = StartWith(limit);
    fake::AddFile("C:\\work\\f.bin", source);
    app::RunOptions& options = run.options;
    std::strcpy(options.sourcePath, "C:\\work\\f.bin");
    options.pieceSize = 5 * 1024 * 1024;
    options.mode = app::ModeDivide;
    ASSERT_EQ(pieces::DivideFile(options, run.state), pieces::DivideResult::Divided);
    EXPECT_EQ(fake::Data("f.bin.003"), source.substr(10 * 1024 * 1024));
    EXPECT_EQ(fake::State().kernelCopied > 0, limit != 0);

    const std::string divideOutput = fake::State().output;
    EXPECT_NE(divideOutput.find("f.bin.003\r\n"), std::string::npos);

    fake::AddFolder("C:\\out");
    std::strcpy(options.sourcePath, "C:\\work\\f.bin.001");
    std::strcpy(options.destFolder, "C:\\out\\");
    options.mode = app::ModeJoin;
    ASSERT_TRUE(pieces::JoinPieces(options, run.state));
    EXPECT_EQ(fake::Data("C:\\out\\f.bin"), source);
  }
}

TEST(KernelCopy, ShortCopyStillNamesTheFailingSide) {
  fake_test::Run run = StartWith(1000);
  fake::AddFile("C:\\work\\f.bin", Pattern(10000));
  app::RunOptions& options = run.options;
  std::strcpy(options.sourcePath, "C:\\work\\f.bin");
  options.pieceSize = 4000;
  options.mode = app::ModeDivide;
  fake::State().writeRoom = 2500;  // the disk fills inside the first piece
  EXPECT_EQ(pieces::DivideFile(options, run.state), pieces::DivideResult::Failed);
  // Piece 1 is written under its temporary name, which is named, and gone.
  const std::string unfinished = pieces::UnfinishedElement("f.bin.001", 1);
  EXPECT_TRUE(fake_test::Printed(fake_test::WithName(text::FileWriteFailed, unfinished).c_str()));
  EXPECT_FALSE(fake_test::Printed(text::DivideFinished));
  EXPECT_FALSE(fake::Exists("f.bin.001") || fake::Exists(unfinished));
}
