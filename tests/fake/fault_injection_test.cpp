// Every counted platform call of an operation fails in turn: each run must end
// with an honest result, leave its inputs alone, and hold nothing afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "pieces/batch.h"
#include "pieces/checksum_file.h"
#include "pieces/divide.h"
#include "pieces/join.h"
#include "fake_test.h"
#include "platform/platform_fake.h"
#include "text/texts.h"

namespace {

// The inputs: s.txt to divide, the pieces of a.txt to join: enough of
// them that the count lists the folder.
const std::map<std::string, std::string> Inputs = {
    {"s.txt", "0123456789"}, {"a.txt.001", "abc"}, {"a.txt.002", "defg"}, {"a.txt.003", "hi"},
    {"a.txt.004", "j"}, {"a.txt.005", "k"}, {"a.txt.006", "l"}, {"a.txt.007", "m"},
    {"a.txt.008", "n"}, {"a.txt.009", "o"}, {"a.txt.010", "p"}};

fake_test::Run Start(app::RunMode mode, const char* source) {
  fake_test::Run run = fake_test::FreshRun(mode, std::string("C:\\work\\") + source);
  run.options.pieceSize = 3;
  run.options.copyBatch = run.options.selfBatch = true;
  for (const auto& [name, data] : Inputs) fake::AddFile(name, data);
  // A refused lock leaves the created file, which a second look then finds:
  // its question counts as S without a console.
  fake::State().consolePresent = false;
  return run;
}

using fake_test::Printed;

// A whole batch text; a failed write leaves an empty or partial one.
bool Complete(const std::string& batch) {
  return batch.rfind("@ECHO OFF\r\n", 0) == 0 && batch.size() > 7 &&
         batch.substr(batch.size() - 7) == "PAUSE\r\n";
}

int Count(const char* message) { return fake_test::CountOf(fake::State().output, message); }

// A lost lookup reads as a missing file; a lost shortcut (a folder resolved
// once, its listing, a second thread, the free space asked) costs only
// speed; any other failed call is a hard fault.
enum Fault { NoFault, LostLookup, LostShortcut, HardFault };
using Files = std::map<std::string, std::string>;
using Check = std::function<void(bool ok, Fault fault, const Files& reference)>;
using Operation = bool (*)(const app::RunOptions&, app::RunState&);
using Prepare = std::function<void(fake_test::Run&)>;

// Runs `operation` once without a fault for the files it should leave, then
// with call 1, 2, ... failing until a run makes fewer calls than that.
// `prepare`, where given, changes each run's start.
void EveryCallFailing(app::RunMode mode, const char* source, Operation operation, const Check& check,
                      const Prepare& prepare = nullptr) {
  fake_test::Run first = Start(mode, source);
  if (prepare) prepare(first);
  ASSERT_TRUE(operation(first.options, first.state));
  Files reference;
  for (const auto& [key, entry] : fake::State().entries) reference[key] = entry.data;
  for (long n = 1;; ++n) {
    ASSERT_LT(n, 1000) << "no run without a fault";
    fake_test::Run run = Start(mode, source);
    if (prepare) prepare(run);
    fake::State().failAtCall = n;
    const bool ok = operation(run.options, run.state);
    const auto& log = fake::State().callLog;
    const fake::CallKind kind = fake::State().calls < n ? fake::CallOpen : log[std::size_t(n - 1)];
    const Fault fault = fake::State().calls < n                            ? NoFault
                        : kind == fake::CallLookup                         ? LostLookup
                        : kind == fake::CallFolder || kind == fake::CallList ||
                                  kind == fake::CallThread || kind == fake::CallSpace
                            ? LostShortcut
                                                                           : HardFault;
    SCOPED_TRACE(testing::Message() << "call " << n << " (" << kind << ") fails, output "
                                    << fake::State().output << ", errors " << fake::State().errors);
    for (const auto& [name, data] : Inputs) EXPECT_EQ(fake::Data(name), data);
    fake_test::ExpectNothingHeld();
    EXPECT_TRUE(ok || fault != NoFault);
    if (fault == LostShortcut) {
      EXPECT_TRUE(ok);
      for (const auto& [key, data] : reference) EXPECT_EQ(fake::State().entries[key].data, data) << key;
    }
    check(ok, fault, reference);
    // Standard error tells of every failure; a hash's by its cause.
    const std::string& errors = fake::State().errors;
    EXPECT_TRUE(ok || !errors.empty());
    // A call that failed with a code is named by it; a refused lock leaves
    // a file there, which the question then stops at.
    if (!ok && fault == HardFault && kind != fake::CallLock && fake::InjectedCode(kind) != 0) {
      EXPECT_NE(errors.find("error " + std::to_string(fake::InjectedCode(kind))), errors.npos)
          << errors;
    }
    if (!ok && kind == fake::CallHash) {
      EXPECT_TRUE(fake::State().hashMemoryShort ? Printed(text::OutOfMemory)
                                                : errors.find("hash failed\n") != errors.npos)
          << errors;
    }
    if (fault == NoFault) return;
  }
}

bool Divided(const app::RunOptions& options, app::RunState& state) {
  return pieces::DivideFile(options, state) == pieces::DivideResult::Divided;
}

TEST(FaultInjection, DivideWithBothBatchFiles) {
  const Check check = [](bool ok, Fault fault, const Files& reference) {
    EXPECT_EQ(Printed(text::DivideFinished), ok);
    EXPECT_TRUE(ok || !Printed(text::BatchCreated));
    if (!ok) return;
    // Every piece stands; a batch file that failed is not reported as created.
    int complete = 0;
    for (const auto& [key, data] : reference) {
      const std::string now = fake::State().entries[key].data;
      const bool batch = key.size() > 4 && key.substr(key.size() - 4) == ".BAT";
      complete += batch && Complete(now);
      // A lost lookup may end a count of pieces early.
      EXPECT_TRUE(now == data || (batch && (!Complete(now) || fault == LostLookup))) << key;
    }
    EXPECT_EQ(Count(text::BatchCreated), complete);
    EXPECT_TRUE(fault != HardFault || complete < 2);  // the fault hit a batch file
  };
  EveryCallFailing(app::ModeDivide, "s.txt", Divided, check);
}

// Pieces of odd sizes are asked about: the sweeps answer yes.
void AnswerYes(fake_test::Run&) {
  fake::State().consolePresent = true;
  fake::State().keys.assign(10, 'y');
}

TEST(FaultInjection, Join) {
  const Check check = [](bool ok, Fault fault, const Files& reference) {
    EXPECT_EQ(Printed(text::JoinFinished), ok);
    EXPECT_TRUE(!ok || fault != HardFault);
    // A lost lookup may end the pieces early, but never below two.
    const std::string joined = fake::Data("a.txt");
    const std::string whole = reference.at(fake::Key("a.txt"));
    const bool shorter = fault == LostLookup && joined.size() >= 7 && whole.rfind(joined, 0) == 0;
    EXPECT_TRUE(!ok || joined == whole || shorter) << joined;
  };
  EveryCallFailing(app::ModeJoin, "a.txt.001", pieces::JoinPieces, check, AnswerYes);
}

// a.txt.sha256: a line for each piece of a.txt.
void AddChecksumFile() {
  std::string sums;
  for (const auto& [name, data] : Inputs) {
    if (name.rfind("a.txt.", 0) != 0) continue;
    sums += fake_test::SumLine(data, name);
  }
  fake::AddFile("a.txt.sha256", sums);
}

// A join's temporary file is left only when its removal failed, or its
// lock did (a created file that was never the run's to write).
bool TemporaryLeftOnlyByThoseFaults() {
  const fake::System& s = fake::State();
  bool left = false;
  for (const auto& [key, entry] : s.entries) left = left || key.find("~DIVRO") != key.npos;
  const fake::CallKind kind =
      s.failAtCall <= s.calls ? s.callLog[std::size_t(s.failAtCall - 1)] : fake::CallOpen;
  return !left || (s.failAtCall <= s.calls && (kind == fake::CallRemove || kind == fake::CallLock));
}

TEST(FaultInjection, DivideWritingTheChecksumFile) {
  const Check check = [](bool ok, Fault fault, const Files& reference) {
    // Every hard fault costs the checksum file or a piece: never a success.
    EXPECT_TRUE(!ok || fault != HardFault);
    const std::string sums = fake::Data("s.txt.sha256");
    EXPECT_TRUE(!ok || sums == reference.at(fake::Key("s.txt.sha256"))) << sums;
    // A refused lock leaves the file it created, empty.
    EXPECT_TRUE(Printed(text::DivideFinished) || fake::Data("s.txt.sha256").empty());
  };
  EveryCallFailing(app::ModeDivide, "s.txt", Divided, check, [](fake_test::Run& run) {
    run.options.checksum = true;
    run.options.copyBatch = run.options.selfBatch = false;
    fake::State().hashMemoryShort = true;
  });
}

// Removing an older set's pieces (/Y): success means they are gone, unless
// a lost lookup hid one; a failed removal is never a clean division. A
// longer piece written over keeps none of its old bytes.
TEST(FaultInjection, DivideRemovingAnOlderSet) {
  const Check check = [](bool ok, Fault fault, const Files&) {
    EXPECT_TRUE(!ok || fault != HardFault);
    const std::string first = fake::Data("s.txt.001");
    const bool newBytesOnly = std::string("012").rfind(first, 0) == 0;
    EXPECT_TRUE(ok ? first == "012" : first == "older piece" || newBytesOnly) << first;
    const bool olderLeft = fake::Exists("s.txt.005") || fake::Exists("s.txt.006");
    EXPECT_TRUE(!ok || !olderLeft || fault == LostLookup);
    EXPECT_TRUE(!olderLeft || !Printed(text::StaleDeleted));
  };
  EveryCallFailing(app::ModeDivide, "s.txt", Divided, check, [](fake_test::Run& run) {
    run.options.copyBatch = run.options.selfBatch = false;
    run.state.overwriteAll = run.options.yes = true;
    fake::AddFile("s.txt.001", "older piece");
    fake::AddFile("s.txt.005", "old");
    fake::AddFile("s.txt.006", "old");
    fake::State().calls = 0;
    fake::State().callLog.clear();
  });
}

// A piece asked about and written over: the source is read again after
// the answer, and a failure there is never a success. (A refused lock may
// be: the file it left is asked about, and replaced.)
TEST(FaultInjection, DivideOverAPieceAskedAbout) {
  const Check check = [](bool ok, Fault, const Files& reference) {
    for (const char* piece : {"s.txt.001", "s.txt.002", "s.txt.003", "s.txt.004"}) {
      EXPECT_TRUE(!ok || fake::Data(piece) == reference.at(fake::Key(piece))) << piece;
    }
  };
  EveryCallFailing(app::ModeDivide, "s.txt", Divided, check, [](fake_test::Run& run) {
    run.options.copyBatch = run.options.selfBatch = false;
    fake::AddFile("s.txt.002", "older piece");
    fake::State().consolePresent = true;
    fake::State().keys.assign(4, 'y');  // a refused lock asks once more
    fake::State().calls = 0;
    fake::State().callLog.clear();
  });
}

TEST(FaultInjection, JoinCheckingTheChecksumFile) {
  const Check check = [](bool ok, Fault, const Files& reference) {
    // A temporary file that cannot be made is written around: the output is
    // then written in place, after every piece was read and matched.
    EXPECT_EQ(Printed(text::JoinFinished), ok);
    // A lost lookup of the checksum file joins without it; one of a piece
    // ends the count short of the file's lines, which refuses the join.
    const std::string whole = reference.at(fake::Key("a.txt"));
    EXPECT_EQ(fake::Data("a.txt"), ok ? whole : "old");
    EXPECT_TRUE(TemporaryLeftOnlyByThoseFaults());
  };
  EveryCallFailing(app::ModeJoin, "a.txt.001", pieces::JoinPieces, check, [](fake_test::Run& run) {
    AddChecksumFile();
    fake::AddFile("a.txt", "old");
    run.state.overwriteAll = true;
    // Set up without counting: the sweep counts from here.
    fake::State().calls = 0;
    fake::State().callLog.clear();
  });
}

TEST(FaultInjection, EachBatchFile) {
  const Check check = [](bool ok, Fault fault, const Files& reference) {
    EXPECT_EQ(Printed(text::BatchCreated), ok);
    EXPECT_TRUE(!ok || fault != HardFault);
    for (const auto& [key, data] : reference) {
      const std::string now = fake::State().entries[key].data;
      EXPECT_TRUE(!ok || now == data || (fault == LostLookup && Complete(now))) << key;
    }
  };
  EveryCallFailing(app::ModeBatch, "a.txt.001", pieces::WriteCopyBatch, check);
  EveryCallFailing(app::ModeBatch, "a.txt.001", pieces::WriteSelfBatch, check);
}

TEST(FaultInjection, ShortWriteIsReported) {
  // name: for the message's %s; then: a line after it, naming piece 1.
  struct Row { app::RunMode mode; const char* source; Operation operation; std::uint64_t room;
               const char* message; const char* name; const char* then = nullptr; };
  const Row rows[] = {
      {app::ModeDivide, "s.txt", Divided, 5, text::FileWriteFailed, "s.txt.002",
       text::FirstPieceNotWritten},
      {app::ModeJoin, "a.txt.001", pieces::JoinPieces, 5, text::JoinedWriteFailed, nullptr},
      {app::ModeBatch, "a.txt.001", pieces::WriteCopyBatch, 9, text::BatchWriteFailed, "a.cpy.bat"},
      {app::ModeBatch, "a.txt.001", pieces::WriteSelfBatch, 9, text::BatchWriteFailed, "a.dvr.bat"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    fake_test::Run run = Start(row.mode, row.source);
    fake::State().writeRoom = row.room;
    EXPECT_FALSE(row.operation(run.options, run.state));
    std::string expected =
        row.name ? fake_test::WithName(row.message, row.name) : std::string(row.message) + "\n";
    if (row.then != nullptr) expected += fake_test::WithName(row.then, "s.txt.001");
    const std::string& out = fake::State().output;
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), expected.size())), expected);
    EXPECT_FALSE(Printed(text::DivideFinished) || Printed(text::JoinFinished) || Printed(text::BatchCreated));
    for (const auto& [name, data] : Inputs) EXPECT_EQ(fake::Data(name), data);
    fake_test::ExpectNothingHeld();
  }
}

}  // namespace

namespace {

// A run killed at each of its platform calls in turn: nothing after the
// call happens, no close, no cleanup. A join of what it left either
// refuses or gives back exactly the file that was divided. (A join that
// writes in place where no temporary file can be made, and older pieces
// kept by the answer N, are outside this rule: no run here takes either.)
struct Killed {
  app::RunMode mode;
  const char* source;
  Operation operation;
  Prepare prepare;
  // What joining the set that is left may give: the file divided (for a
  // division over an older set, that set's file too while it is whole).
  std::vector<std::string> wholes;
};

std::string WholeOf(const char* stem) {
  std::string whole;
  for (const auto& [name, data] : Inputs) whole += name.rfind(stem, 0) == 0 ? data : "";
  return whole;
}

void EveryCallKilling(const Killed& killed) {
  for (long n = 1;; ++n) {
    ASSERT_LT(n, 1000) << "no run without a crash";
    fake_test::Run run = Start(killed.mode, killed.source);
    if (killed.prepare) killed.prepare(run);
    fake::State().crashAtCall = n;
    killed.operation(run.options, run.state);
    const bool crashed = fake::State().crashedYet;
    SCOPED_TRACE(testing::Message() << "killed at call " << n);
    fake::AfterCrash();
    // A join that was killed keeps the old output, or has put the new one
    // in its place.
    const std::string output = fake::Data("a.txt");
    if (killed.mode == app::ModeJoin) {
      EXPECT_TRUE(output == "old" || output == WholeOf("a.txt.")) << output;
    }
    const auto entries = fake::State().entries;
    fake_test::Run rejoin = fake_test::FreshRun(app::ModeJoin);
    fake::State().entries = entries;
    const std::string stem = killed.mode == app::ModeDivide ? "s.txt" : "a.txt";
    std::snprintf(rejoin.options.sourcePath, MAX_PATH, "C:\\work\\%s.001", stem.c_str());
    std::snprintf(rejoin.options.destFolder, MAX_PATH, "C:\\work\\again\\");
    fake::AddFolder("C:\\work\\again");
    AnswerYes(rejoin);
    if (pieces::JoinPieces(rejoin.options, rejoin.state)) {
      const std::string joined = fake::Data("C:\\work\\again\\" + stem);
      EXPECT_NE(std::find(killed.wholes.begin(), killed.wholes.end(), joined),
                killed.wholes.end())
          << joined;
    }
    if (!crashed) return;
  }
}

TEST(Crash, DivisionsAndJoinsKilledAtEveryCall) {
  const auto olderSet = [](fake_test::Run& run) {
    run.options.copyBatch = run.options.selfBatch = false;
    run.state.overwriteAll = run.options.yes = true;
    for (const char* name : {"s.txt.001", "s.txt.002", "s.txt.003", "s.txt.004", "s.txt.005"}) {
      fake::AddFile(name, "old");
    }
  };
  const auto withChecksum = [](fake_test::Run& run) {
    run.options.checksum = true;
    run.options.copyBatch = run.options.selfBatch = false;
  };
  const auto overOldOutput = [](fake_test::Run& run) {
    fake::AddFile("a.txt", "old");
    run.state.overwriteAll = true;
    AnswerYes(run);
  };
  const Killed runs[] = {
      {app::ModeDivide, "s.txt", Divided, nullptr, {"0123456789"}},
      {app::ModeDivide, "s.txt", Divided, withChecksum, {"0123456789"}},
      {app::ModeDivide, "s.txt", Divided, olderSet, {"0123456789", "oldoldoldoldold"}},
      {app::ModeJoin, "a.txt.001", pieces::JoinPieces, overOldOutput, {WholeOf("a.txt.")}},
      {app::ModeJoin, "a.txt.001", pieces::JoinPieces,
       [&](fake_test::Run& run) {
         overOldOutput(run);
         AddChecksumFile();
       },
       {WholeOf("a.txt.")}},
  };
  for (const Killed& killed : runs) {
    SCOPED_TRACE(killed.source);
    EveryCallKilling(killed);
  }
}

}  // namespace
