#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "app/output.h"
#include "app/questions.h"
#include "app/run_options.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/code_page.h"
#include "text/texts.h"

namespace {

class QuestionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_test::FreshRun();
    fake::State().shares.insert("\\\\SRV\\SHARE");
  }
};

// Keys that fold to no answer letter are dropped without echo; the echo
// shows the answering key as typed; a two-code key answers by its second code.
TEST_F(QuestionsTest, AskOverwrite) {
  const app::OverwriteAnswer Y = app::AnswerYes, A = app::AnswerAll, S = app::AnswerStop;
  const char* const piece = "D:\\out\\movie.avi.002";
  // Too long in full form (C:\work\ in front) to be taken apart: shown as given.
  const std::string deep = std::string(MAX_PATH - 16, 'd') + "\\m.avi.002";
  const struct {
    const char* path; std::deque<int> keys; app::OverwriteAnswer answer;
    const char* shown; const char* echo; std::size_t left;
    bool outputElsewhere = false;  // the question is shown on the keyboard's console too
  } cases[] = {
      {piece, {'N', 13, 27, ' ', '5', 'Y' + 128, 0x82, 'Y'}, Y, "movie.avi.002", "Y\n", 0},
      {piece, {'y', 's'}, Y, "movie.avi.002", "y\n", 1},  // typed ahead: the first match answers
      {"C:\\data\\movie.avi.001", {'A'}, A, "movie.avi.001", "A\n", 0},
      {"D:\\out\\movie.cpy.bat", {'n', 'a', 'y'}, A, "movie.cpy.bat", "a\n", 1},
      {"README", {'S'}, S, "README", "S\n", 0},
      {"\\\\srv\\share\\p\\a.b.003", {'s'}, S, "a.b.003", "s\n", 0},
      {piece, {224, 83, 'y'}, S, "movie.avi.002", "S\n", 1},  // Delete
      {piece, {0, 65}, A, "movie.avi.002", "A\n", 0},         // F7
      {piece, {0, 89}, Y, "movie.avi.002", "Y\n", 0},         // Shift+F6
      {deep.c_str(), {'y'}, Y, deep.c_str(), "y\n", 0},
      {piece, {'x', -1, 'y'}, S, "movie.avi.002", "\n", 1},   // the console went away
      {piece, {}, S, "movie.avi.002", "\n", 0},               // no console at all
      {piece, {'n', 'a'}, A, "movie.avi.002", "a\n", 0, true},
      {piece, {}, S, "movie.avi.002", "\n", 0, true}};
  for (const auto& c : cases) {
    SetUp();
    fake::State().keys = c.keys;
    fake::State().consolePresent = !c.keys.empty();
    fake::State().outputElsewhere = c.outputElsewhere;
    EXPECT_EQ(app::AskOverwrite(c.shown), c.answer) << c.path;  // the name, never a path
    std::string prompt = text::AskOverwrite;
    prompt = prompt.replace(prompt.find("%s%s"), 4, c.shown) + c.echo;
    EXPECT_EQ(fake::State().output, prompt);
    // Shown where the keys are read only when standard output is not there
    // and there is a console at all.
    const bool shown = c.outputElsewhere && !c.keys.empty();
    EXPECT_EQ(fake::State().keyboardScreen, shown ? prompt : "") << c.path;
    EXPECT_EQ(fake::State().keys.size(), c.left) << c.path;
  }
  fake::State().keys = {'y'};
  EXPECT_EQ(app::WaitForKey("yn").letter, -1);  // no console: keys stay unread
  EXPECT_EQ(fake::State().keys.size(), 1u);
}

// The failure line: the subject as shown, else the name the failure holds;
// the system's reason for a code, else the library's words, else the reason given.
TEST_F(QuestionsTest, FailureLine) {
  const struct {
    app::Subject subject;
    platform::Failure failure;
    const char* line;
  } rows[] = {
      {"C:\\a.bin", {5, "C:\\native", ""}, "divro: C:\\a.bin: error 5\n"},
      {{}, {2, "C:\\native", ""}, "divro: C:\\native: error 2\n"},
      {{}, {0, "", "hash failed"}, "divro: hash failed\n"},
      {"C:\\a.bin", {}, "divro: C:\\a.bin: given\n"},
  };
  for (const auto& row : rows) {
    fake::State().errors.clear();
    app::ReportFailure(row.subject, "given", row.failure);
    EXPECT_EQ(fake::State().errors, row.line);
  }
}

}  // namespace
