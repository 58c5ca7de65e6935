#include "entry/entry.h"

#include <clocale>
#include <cstdlib>
#include <new>
#include <optional>

#include "app/output.h"
#include "app/questions.h"
#include "app/run_options.h"
#include "entry/arguments.h"
#include "path/file_system.h"
#include "pieces/batch.h"
#include "pieces/divide.h"
#include "pieces/join.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace app {

namespace {

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = -1;

void PrintHint(const char* first, const char* second) {
  PrintLine(first);
  PrintLine(second);
  PrintLine(text::HintUseHelpOption);
  ReportFailure({}, FailureReason(first));
}

}  // namespace

bool PrepareDestFolder(const RunOptions& options) {
  const char* folder = options.destFolder;
  if (folder[0] == '\0' || path::FolderExists(folder)) return true;
  if (AskYesNo({{text::DestFolderMissing, folder}, {text::AskCreateFolder}}) != YesNo::Yes) {
    PrintFailure(text::ProcessingStopped, folder);
    return false;
  }
  platform::Failure failure;
  if (path::CreateFolderTree(folder, &failure)) return true;
  PrintFailure(text::CreateFolderFailed, folder, failure);
  PrintFailure(text::ProcessingStopped, folder);
  return false;
}

void PrintUsage() {
  for (const char* line : text::UsageLines) PrintLine(line);
}

bool WriteBatchFiles(const RunOptions& options, pieces::RunFiles& files, RunState& state,
                     const std::function<bool()>& destinationReady) {
  // The folder is asked about once, by the first batch file whose set passes.
  std::optional<bool> ready;
  const auto readyOnce = [&] {
    if (!ready) ready = destinationReady();
    return *ready;
  };
  bool result = false;
  if (options.copyBatch) result = pieces::WriteCopyBatch(options, files, state, 0, 0, readyOnce);
  if (options.selfBatch) result = pieces::WriteSelfBatch(options, files, state, 0, readyOnce);
  return result;
}

namespace {

// Whether the run may write batch files, whose names need a converter.
bool AsksForBatchFiles(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (MatchesLowerCaseWord(argv[i], "/c") || MatchesLowerCaseWord(argv[i], "/s")) return true;
  }
  return false;
}

int RunUnguarded(int argc, const char* const* argv) {
  platform::OpenStandardStreams();
  text::SetCodePage(platform::InitializeLocale());
  // Before any file is opened: the converters need descriptors of their own.
  if (!platform::PrepareConversions(AsksForBatchFiles(argc, argv))) return ExitFailure;
  const platform::CurrentFolderReading currentFolder;

  switch (platform::ConventionalRequestOf(argc, argv)) {
    case platform::ConventionalRequest::Help:
      PrintUsage();
      return ExitSuccess;
    case platform::ConventionalRequest::Version:
      PrintLine("divro " DIVRO_VERSION);
      return ExitSuccess;
    case platform::ConventionalRequest::None:
      break;
  }

  RunOptions parsed;
  if (!ParseArguments(argc, argv, &parsed)) {
    PrintHint(text::ArgumentsWrong, text::HintTypeDivroComma);
    return ExitFailure;
  }
  const RunOptions& options = parsed;
  if (options.showHelp) {
    PrintUsage();
    return ExitSuccess;
  }
  if (!platform::CurrentFolderIsPathText()) {
    PrintHint(text::ArgumentsWrong, text::HintTypeDivroComma);
    return ExitFailure;
  }
  if (!CheckArguments(options)) {
    PrintHint(text::ArgumentsError, text::HintTypeDivro);
    return ExitFailure;
  }
  // Refused before anything is written, the destination folder included:
  // a set whose names do not fit could be divided but never joined.
  // The run's files are worked out once, here, for every operation.
  pieces::RunFiles files(options);
  if (options.mode == ModeDivide && !pieces::DivisionNamesFit(options, files.Set())) {
    PrintHint(text::ArgumentsWrong, text::HintTypeDivroComma);
    return ExitFailure;
  }
  // A division or a join asks for its folder once its own checks have
  // passed: a run that cannot go ahead makes no folder.
  const auto destinationReady = [&] { return PrepareDestFolder(options); };
  RunState state(options);
  switch (options.mode) {
    case ModeDivide:
      switch (pieces::DivideFile(options, files, state, destinationReady)) {
        case pieces::DivideResult::Divided:
          return ExitSuccess;
        case pieces::DivideResult::NotStarted:
          // The folder's question said why nothing was done.
          return ExitFailure;
        case pieces::DivideResult::Failed:
          break;
      }
      PrintLine(text::NotDivided);
      return ExitFailure;
    case ModeJoin: {
      bool notStarted = false;
      if (pieces::JoinPiecesWhenReady(options, files, state, destinationReady, &notStarted)) {
        return ExitSuccess;
      }
      if (notStarted) return ExitFailure;
      PrintLine(text::NotJoined);
      return ExitFailure;
    }
    case ModeVerify:
      return pieces::VerifyPieces(options, files) ? ExitSuccess : ExitFailure;
    default:
      if (WriteBatchFiles(options, files, state, destinationReady)) return ExitSuccess;
      PrintLine(text::NoBatchCreated);
      return ExitFailure;
  }
}

}  // namespace

int RunProgram(int argc, const char* const* argv) {
  // Memory that runs out where no check sees it (a string, the start of a
  // thread): by here every object of the run is gone, a temporary file
  // removed with it, and its memory is free for the message.
  try {
    return RunUnguarded(argc, argv);
  } catch (const std::bad_alloc&) {
  }
  try {
    PrintFailure(text::OutOfMemory);
  } catch (const std::bad_alloc&) {
    platform::WriteWithoutMemory(text::OutOfMemory);
  }
  return ExitFailure;
}
}  // namespace app
