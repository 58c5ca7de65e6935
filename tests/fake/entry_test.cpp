#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "entry/entry.h"
#include "app/run_options.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/code_page.h"
#include "text/texts.h"

namespace {

using Args = std::vector<const char*>;

// Calls a front-end function the way main does, the program name first.
template <typename Function>
auto Call(Function function, Args args) {
  args.insert(args.begin(), "divro");
  return function(static_cast<int>(args.size()), args.data());
}

// The record after parsing, in one line: flags C S Y ?, the size, the
// paths; the record itself in `parsed` where given.
std::string Parsed(Args args, app::RunOptions* parsed = nullptr) {
  app::RunOptions o;
  const auto parse = [&o](int argc, const char* const* argv) {
    return app::ParseArguments(argc, argv, &o);
  };
  const bool ok = Call(parse, std::move(args));
  if (parsed != nullptr) *parsed = o;
  if (!ok) return "false";
  std::string s;
  for (bool flag : {o.copyBatch, o.selfBatch, o.yes, o.showHelp}) s += flag ? '1' : '0';
  if (o.sizeGiven) s += " /" + std::to_string(o.pieceSize);
  return s + " [" + o.sourcePath + "] [" + o.destFolder + "]";
}

std::string Lines(Args lines) {
  std::string out;
  for (const char* line : lines) out += std::string(line) + "\n";
  return out;
}

using EntryTest = fake_test::FreshRunTest;

TEST_F(EntryTest, SizeOption) {
  const struct { const char* arg; std::uint64_t size; } cases[] = {
      {"/1024", 1048576}, {"/1.5m", 1572864}, {"/1.5M", 1572864}, {"/0.5", 512}, {"/abc", 0},
      {"/m", 0}, {"/x", 0}, {"/700k", 716800}, {"/-5", 0}, {"/0", 0}, {"/F", app::FloppySize},
      {"/f", app::FloppySize}, {"/ff", 0}, {"/cs", 0}, {"/2M", 2097152}, {"/2m", 2097152},
      {"/2k", 2048}, {"/ 3", 3072}, {"/1e1", 10240}, {"/2e-1m", 209715}, {"/0x10", 0},
      {"/inf", 0}, {"/4194303", 4294966272u}, {"/4194304", 4294967296u},
      {"/4096M", 4294967296u}, {"/99999999999", 102399999998976u}, {"/1e99", UINT64_MAX}, {"/0.0009765625", 1},
      {"/1.9999", 2047}, {"/.5", 512},  // toward zero, never rounded up; no digit first
      {"/100MB", 104857600}, {"/10MiB", 10485760}, {"/2G", 2147483648u}, {"/1.5gB", 1610612736},
      {"/3gib", 3221225472u}, {"/5KB", 5120}, {"/5kIb", 5120}, {"/0.001tb", 1099511627},
      {"/4G", 4294967296u}, {"/1T", 1099511627776u}, {"/2TiB", 2199023255552u}, {"/gb", 0},
      {"/700x", 716800}, {"/100b", 102400}, {"/2mi", 2048}, {"/2ib", 2048}, {"/2bm", 2097152}};
  for (const auto& c : cases) {
    EXPECT_EQ(Parsed({c.arg}), "0000 /" + std::to_string(c.size) + " [] []") << c.arg;
  }
}

TEST_F(EntryTest, ParseArguments) {
  fake::AddFolder("C:\\Data");  // parents made by AddFile store upper case
  fake::AddFile("C:\\Data\\Movie.AVI", "abc");
  fake::AddFile("C:\\work\\Clip.AVI", "abc");
  const std::string fits = "C:\\" + std::string(MAX_PATH - 4, 'a');
  const std::string tooLong = fits + "b";
  // Short enough to type, too long in full form (C:\work\ in front).
  const std::string deep = std::string(MAX_PATH - 8, 'r'), missing = deep.substr(1);
  fake::AddFile(("C:\\work\\" + deep).c_str(), "x");
  const struct { Args args; const char* parsed; } cases[] = {
      {{}, "0001 [] []"}, {{"/c"}, "1000 [] []"}, {{"/C"}, "1000 [] []"},
      {{"/s"}, "0100 [] []"}, {{"/S"}, "0100 [] []"}, {{"/y"}, "0010 [] []"},
      {{"/Y"}, "0010 [] []"}, {{"/?"}, "0001 [] []"}, {{"/1", "/2m"}, "0000 /2097152 [] []"},
      {{"/c", "/s", "/y", "/1", "a", "b"}, "1110 /1024 [\\\\\\] [b\\]"},
      {{"/c", "/s", "/y", "/1", "a", "b", "/?"}, "false"},
      {{"/c", "/s", "/y", "/1", "a", "b", "/V", "/h"}, "1110 /1024 [\\\\\\] [b\\]"},  // not counted
      {{"c:\\data\\movie.avi", "D:\\out"}, "0000 [c:\\Data\\Movie.AVI] [D:\\out\\]"},
      {{"C:\\missing.bin", "/2", "D:\\out\\"}, "0000 /2048 [\\\\\\] [D:\\out\\]"},
      {{"c:clip.avi", "D:"}, "0000 [c:Clip.AVI] [D:\\]"},  // D: is its root
      {{"C:\\Data\\Movie.AVI", "D:\\one", "E:\\two"}, "0000 [C:\\Data\\Movie.AVI] [E:\\two\\]"},
      {{fits.c_str()}, "0000 [\\\\\\] []"}, {{tooLong.c_str()}, "false"},
      {{"x", tooLong.c_str()}, "false"}, {{deep.c_str()}, "false"},
      {{tooLong.c_str(), "/?"}, "0001 [] []"}, {{"/?", deep.c_str(), "/x"}, "0001 [] []"},
      {{missing.c_str()}, "0000 [\\\\\\] []"},
      {{"x", fits.c_str()}, "false"}};  // no room for the folder's backslash
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.args), c.parsed) << c.parsed;
}

TEST_F(EntryTest, CheckArgumentsAndMode) {
  app::RunOptions unparsed;
  unparsed.sizeGiven = true;
  std::strcpy(unparsed.destFolder, "D:\\a|b\\");
  EXPECT_FALSE(app::CheckArguments(unparsed));
  EXPECT_EQ(fake::State().output, Lines({text::NoSourceGiven, text::SourceNotFound,
                                         text::PieceSizeInvalid, text::DestFolderInvalid}));
  fake::AddFile("C:\\d\\m.avi", "abc");
  const struct { Args args; int mode; std::string output; } cases[] = {
      {{"/100"}, app::ModeDivide, Lines({text::NoSourceGiven, text::SourceNotFound})},
      {{"C:\\d\\m.avi", "/0"}, app::ModeDivide, Lines({text::PieceSizeInvalid})},
      {{"/m", "C:\\d\\m.avi", "/C"}, app::ModeDivide, Lines({text::PieceSizeInvalid})},
      // The largest piece FAT32 holds, and the smallest size above it.
      {{"C:\\d\\m.avi", "/4194303.9990234375"}, app::ModeDivide, ""},
      {{"C:\\d\\m.avi", "/4G"}, app::ModeDivide, Lines({text::PieceSizeNotBelow4GB})},
      {{"/1T", "C:\\d\\none.avi"}, app::ModeDivide,
       Lines({text::SourceNotFound, text::PieceSizeNotBelow4GB})},
      {{"C:\\d\\none.avi", "D:\\out"}, app::ModeJoin, Lines({text::SourceNotFound})},
      {{"C:\\d\\m.avi", "D:\\o*t", "/C"}, app::ModeBatch, Lines({text::DestFolderInvalid})},
      {{"/0", "C:\\d\\none.avi", ""}, app::ModeDivide,  // "" is no folder, not the root
       Lines({text::SourceNotFound, text::PieceSizeInvalid, text::DestFolderInvalid})},
      {{"C:\\d\\m.avi", "/3", "D:\\new", "/C", "/S"}, app::ModeDivide, ""},
      {{"/s", "C:\\d\\m.avi"}, app::ModeBatch, ""}, {{"/Y", "C:\\d\\m.avi"}, app::ModeJoin, ""},
      {{"/v", "C:\\d\\m.avi", "/H", "/Y"}, app::ModeVerify, ""}};
  for (const auto& c : cases) {
    fake::State().output.clear();
    app::RunOptions options;
    Parsed(c.args, &options);
    EXPECT_EQ(app::CheckArguments(options), c.output.empty()) << c.args[0];
    EXPECT_EQ(fake::State().output, c.output) << c.args[0];
    EXPECT_EQ(options.mode, c.mode) << c.args[0];
  }
}

std::string Asked(const char* folder) {
  return fake_test::WithName(text::DestFolderMissing, folder) + text::AskCreateFolder;
}

// Whole runs: the output in full, or for an operation only its closing line.
// Keys answer the destination-folder question; with none there is no console.
TEST_F(EntryTest, RunProgram) {
  const std::string usage = fake_test::Golden("usage.txt");  // the screen as a user reads it, in CP932
  const std::string stopped = Lines({text::ProcessingStopped});
  const struct {
    Args args; int status; std::string output; bool whole; std::deque<int> keys;
  } cases[] = {
      {{}, 0, usage, true, {}}, {{"/0", "/?", "C:\\missing", "D:\\a|b"}, 0, usage, true, {}},
      {{"/c", "/s", "/y", "/1", "a", "b", "/?"}, -1,
       Lines({text::ArgumentsWrong, text::HintTypeDivroComma, text::HintUseHelpOption}), true, {}},
      {{"/5"}, -1, Lines({text::NoSourceGiven, text::SourceNotFound, text::ArgumentsError,
                          text::HintTypeDivro, text::HintUseHelpOption}), true, {}},
      {{"C:\\d\\m.avi", "/1", ""}, -1, Lines({text::DestFolderInvalid, text::ArgumentsError,
                                           text::HintTypeDivro, text::HintUseHelpOption}), true, {}},
      {{"C:\\d\\m.avi", "/1"}, -1, Lines({text::NotDivided}), false, {}},
      {{"C:\\d\\m.avi", "/0.001"}, 0, Lines({text::DivideFinished}), false, {}},
      {{"C:\\d\\m.avi"}, -1, Lines({text::NotJoined}), false, {}},
      {{"/C", "C:\\d\\m.avi.001"}, -1, Lines({text::NoBatchCreated}), false, {}},
      {{"/C", "/S", "C:\\d\\m.avi.001"}, 0, Lines({text::BatchCreated}), false, {}},  // /S decides
      {{"C:\\J\\m.avi.001", "D:\\out"}, -1, Asked("D:\\out\\") + "n\n" + stopped, true,
       {'a', 'S', 13, 'n'}},
      {{"C:\\J\\m.avi.001", "D:\\out"}, -1, Asked("D:\\out\\") + "\n" + stopped, true, {}},
      {{"C:\\J\\m.avi.001", "D:\\out\\new"}, 0,  // 0 then 89 is Shift+F6: Y
       Asked("D:\\out\\new\\") + "Y\nC:\\J\\m.avi.001\rC:\\J\\m.avi.002\r\n" +
           Lines({text::JoinFinished}),
       true, {13, 'A', 0, 89}}};
  for (const auto& c : cases) {
    SetUp();
    for (const char* name : {"C:\\d\\m.avi", "C:\\d\\m.avi.001", "C:\\J\\m.avi.001"}) {
      fake::AddFile(name, "abc");
    }
    fake::AddFile("C:\\J\\m.avi.002", "de");
    fake::State().keys = c.keys;
    fake::State().consolePresent = !c.keys.empty();
    EXPECT_EQ(Call(app::RunProgram, c.args), c.status) << c.output;
    const std::string& out = fake::State().output;
    EXPECT_EQ(c.whole ? out : out.substr(out.size() - std::min(out.size(), c.output.size())),
              c.output);
    EXPECT_EQ(fake::State().madeFolders.empty(), c.status != 0 || c.keys.empty());
  }
  // The last run created the folder tree and joined into it.
  EXPECT_EQ(fake::State().madeFolders, (std::vector<std::string>{"D:\\out", "D:\\out\\new\\"}));
  EXPECT_EQ(fake::Data("D:\\out\\new\\m.avi"), "abcde");
}

// Every message and usage line has its English: ASCII, as many names (%s, %2$s)
// and the same closing line break; batch texts stay Japanese.
TEST(TextsTest, EveryMessageInBothLanguages) {
  std::vector<std::string> lacking;
  for (const text::Text& t : text::AllTexts) {
    SCOPED_TRACE(t.name);
    if (t.kind == text::TextKind::Batch) {
      EXPECT_EQ(t.english, nullptr);
      continue;
    }
    if (t.english == nullptr) {
      lacking.push_back(t.name);
      continue;
    }
    const std::string english = t.english;
    EXPECT_TRUE(std::all_of(english.begin(), english.end(),
                            [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); }));
    if (t.kind == text::TextKind::Reason) continue;
    const std::string japanese = t.japanese;
    EXPECT_EQ(fake_test::CountOf(english, "%s") + fake_test::CountOf(english, "$s"),
              fake_test::CountOf(japanese, "%s"));  // %2$s
    EXPECT_EQ(english.empty() || english.back() == '\n', japanese.empty() || japanese.back() == '\n');
    EXPECT_EQ(text::EnglishForm(t.japanese), t.english);
  }
  EXPECT_EQ(lacking, std::vector<std::string>{}) << "texts without English";
}

// An English run: the usage, a refusal and a question in English.
TEST_F(EntryTest, EnglishRun) {
  const struct {
    Args args; std::string output;
  } cases[] = {
      {{}, "DIVRO [/C] [/S] [/Y] [/H] [drive:][path]filename /Size\n"},
      {{"/5"}, "No file given.\nFile not found.\nError in the arguments.\n"
               "For help, type 'divro' or\nuse the /? option.\n"},
      {{"C:\\d\\m.avi.001", "D:\\out"},
       "The destination folder 'D:\\out\\' does not exist.\nCreate it? [Yes (Y), No (N)]\n"
       "Stopped.\n"},
  };
  for (const auto& c : cases) {
    SetUp();
    fake::AddFile("C:\\d\\m.avi", "abc");
    // A set to join, so that the join goes on to ask for its folder.
    fake::AddFile("C:\\d\\m.avi.001", "a");
    fake::AddFile("C:\\d\\m.avi.002", "b");
    fake::State().englishMessages = true;
    fake::State().consolePresent = false;  // a question is answered N
    Call(app::RunProgram, c.args);
    EXPECT_EQ(fake::State().output.substr(0, c.output.size()), c.output);
  }
}

}  // namespace
