#include "pieces/batch.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/output.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/file_system.h"
#include "path/work_buffer.h"
#include "pieces/checksum_side.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace pieces {

namespace {

// Room for the self-invoking batch text: always enough for its one name.
constexpr std::size_t SelfBatchSize = 3 * text::PathCapacity;

// What one batch writer works with, composed once: the pieces in their
// folder, and the batch files in the destination folder (or the current
// one), named after the whole file without its extension; and the run's
// state, for the overwrite question.
struct BatchRun {
  BatchRun(const app::RunOptions& runOptions, RunFiles& runFiles, app::RunState& runState)
      : options(runOptions),
        files(runFiles),
        state(runState),
        set(files.Set()),
        names(files.Names()),
        pieceFolder(names.Place()),
        base(SplitElement(set.stem).name) {}

  std::string BatchElement(const char* extension) const {
    return BatchFileName(set.stem, extension);
  }
  path::Shown BatchShown(const std::string& element) const { return {options.destFolder, element}; }
  // Resolved once it is asked for: by then a folder that was missing has
  // been made.
  const path::Place& BatchFolder() { return files.Destination(); }

  const app::RunOptions& options;
  RunFiles& files;
  app::RunState& state;
  const PieceSetName& set;
  const PieceNamer& names;
  const path::Place& pieceFolder;
  const std::string base;
};

// Prints the name and checks the first piece.
bool FirstPieceThere(const BatchRun& run, const std::string& element) {
  app::Print("%s\n", run.BatchShown(element));
  if (run.pieceFolder.FileExists(run.names.Element(1))) return true;
  app::PrintFailure(text::FirstPieceMissing, run.names.Shown(1));
  return false;
}

// Once the set has passed its checks: the folder for the batch file, made
// where it is missing, then the question before an existing file is
// replaced. Stop when the batch file must not be written.
WriteTarget BatchTarget(BatchRun& run, const std::string& element,
                        const std::function<bool()>& destinationReady) {
  if (destinationReady && !destinationReady()) return WriteTarget::Stop;
  const WriteTarget target = CheckWriteTarget(run.BatchFolder(), element, run.state);
  if (target == WriteTarget::Stop) app::PrintFailure(text::BatchStopped, run.BatchShown(element));
  return target;
}

// An existing batch name that is a link to the source, to a piece or to the
// other batch file: writing it would destroy what it names.
bool NamesAFileOfTheRun(BatchRun& run, const std::string& element, const char* otherExtension) {
  const std::string batch = run.BatchFolder().PathOf(element);
  if (path::SameFile(batch.c_str(), run.options.sourcePath) ||
      path::SameFile(batch.c_str(),
                     run.BatchFolder().PathOf(run.BatchElement(otherExtension)).c_str())) {
    return true;
  }
  for (int i = 1; i <= MaxPieces && run.pieceFolder.FileExists(run.names.Element(i)); ++i) {
    if (path::SameFile(batch.c_str(), run.names.Path(i).c_str())) return true;
  }
  return false;
}

// Opens, writes the whole text in one call and reports.
bool WriteBatchText(BatchRun& run, const std::string& element, WriteTarget target,
                    const TextBlock& text, const char* otherExtension) {
  const path::Shown shown = run.BatchShown(element);
  const path::Place& batchFolder = run.BatchFolder();
  path::FileHandle file;
  const auto clashes = [&] { return NamesAFileOfTheRun(run, element, otherExtension); };
  const WriteOpened opened =
      text.Complete() ? OpenToWrite(file, batchFolder, element, target, run.state, nullptr, clashes)
                      : WriteOpened{WriteOpen::Failed, {}};
  if (opened.result == WriteOpen::Stopped) {
    app::PrintFailure(text::BatchStopped, shown);
    return false;
  }
  if (opened.result == WriteOpen::Failed) {
    // A batch text left incomplete holds a name it cannot carry: one that
    // Windows cannot hold, or code page 932 cannot.
    const char* reason = text.Complete()               ? nullptr
                         : !WindowsHolds(run.set.stem) ? text::ReasonWindowsCannotHold
                                                       : text::ReasonNotCodePage932;
    app::PrintFailure(text::BatchOpenFailed, shown, opened.failure, reason);
    return false;
  }
  std::uint32_t length = static_cast<std::uint32_t>(text.Length());
  const path::Moved written = file.Write(text.Data(), length);
  file.Close();
  if (written != length) {
    app::PrintFailure(text::BatchWriteFailed, shown, written.failure);
    return false;
  }
  app::PrintLine(text::BatchCreated);
  return true;
}

// In batch mode the pieces are someone else's: a set with a gap would give
// a shorter file, and a checksum file that lists other pieces says the set
// is not whole. One look at the folder serves both. After a division its
// own count stands.
bool SetAgrees(const BatchRun& run, int* count) {
  const PieceSurvey survey = SurveyPieces(run.names);
  *count = survey.count;
  if (survey.firstAfterGap != 0 && survey.count >= 2) {
    app::PrintFailure(text::PieceMissing, run.names.Shown(survey.count + 1), {},
                      text::ReasonPiecesFollow);
    return false;
  }
  SetDigests digests;
  ChecksumReport report;
  const ChecksumRead read = ReadChecksumFile(run.names, &digests, &report);
  if (read == ChecksumRead::Absent) return true;
  if (read != ChecksumRead::Read) return FailChecksumRead(read, run.names, report);
  return ListingAgrees(run.names, survey, digests);
}

// The whole file's size as the pieces there give it. Nothing, and the
// failure said, when one is gone since it was counted.
std::optional<std::uint64_t> SizeOfPieces(const BatchRun& run, int count) {
  std::uint64_t size = 0;
  for (int n = 1; n <= count; ++n) {
    platform::DirEntry entry;
    if (!run.pieceFolder.Lookup(run.names.Element(n), &entry) || entry.isFolder ||
        entry.isSpecial) {
      app::PrintFailure(text::PieceMissing, run.names.Shown(n));
      return std::nullopt;
    }
    size += entry.size;
  }
  return size;
}

// The .cpy.bat's text: every piece looked for, the COPY lines, and the
// joined file's size checked.
void ComposeCopyBatch(TextBlock& batch, const std::optional<std::string>& wholeName,
                      const PieceNamesInBatch& pieceNames, int count, std::uint64_t wholeSize) {
  const std::optional<std::string> firstPiece = pieceNames.Name(1);
  batch.Append("@ECHO OFF\r\n");
  if (HoldsExclamation(wholeName) || HoldsExclamation(firstPiece)) {
    batch.Append(DelayedExpansionOff);
  }
  // Every piece is looked for before the first COPY: a missing one would
  // give a short file and the message of success. Only the number is
  // shown, never a name, so the ECHO line holds nothing to act on.
  batch.Append("SET DIVRO_MISSING=\r\n");
  for (int j = 1; j <= count; ++j) {
    batch.Append("IF NOT EXIST ");
    batch.AppendName(pieceNames.Name(j));
    batch.Append(" SET DIVRO_MISSING=");
    batch.Append(PieceSuffix(j).substr(1));
    batch.Append("\r\n");
    // A folder passes IF NOT EXIST, and COPY would splice in its files.
    batch.Append("IF EXIST ");
    batch.AppendName(pieceNames.Name(j, "\\*"));
    batch.Append(" SET DIVRO_MISSING=");
    batch.Append(PieceSuffix(j).substr(1));
    batch.Append("\r\n");
  }
  batch.Append(text::CopyBatchMissing);
  batch.Append("IF DEFINED DIVRO_MISSING PAUSE\r\n");
  batch.Append("IF DEFINED DIVRO_MISSING EXIT /B 1\r\n");
  // COPY would write into a folder of that name, among the user's files.
  const std::string outputFolder = "IF EXIST " + WithTail(wholeName, "\\*").value_or("") + " ";
  batch.Append(outputFolder);
  batch.Append(text::CopyBatchOutputFolder);
  batch.Append(outputFolder + "PAUSE\r\n");
  batch.Append(outputFolder + "EXIT /B 1\r\n");
  batch.Append("COPY /B ");
  batch.AppendName(firstPiece);
  batch.Append(" + ");
  batch.AppendName(pieceNames.Name(2));
  batch.Append(" ");
  batch.AppendName(wholeName);
  batch.Append("\r\n");
  for (int j = 3; j <= count; ++j) {
    batch.Append("COPY /B ");
    batch.AppendName(wholeName);
    batch.Append(" + ");
    batch.AppendName(pieceNames.Name(j));
    batch.Append(" ");
    batch.AppendName(wholeName);
    batch.Append("\r\n");
  }
  // A piece COPY could not read leaves a short file, and the next COPY
  // clears ERRORLEVEL: the result's size is what tells. Compared as text,
  // for IF's numbers end at 2 GiB; Wine's cmd gives %~z modulo 4 GiB.
  batch.Append("SET DIVRO_BAD=1\r\n");
  std::vector<std::uint64_t> sizes = {wholeSize};
  if (wholeSize >= (std::uint64_t{1} << 32)) sizes.push_back(wholeSize & 0xFFFFFFFFu);
  for (std::uint64_t size : sizes) {
    batch.Append("FOR %%F IN (");
    batch.AppendName(wholeName);
    batch.Append(") DO IF \"%%~zF\"==\"" + std::to_string(size) + "\" SET DIVRO_BAD=\r\n");
  }
  batch.Append(text::CopyBatchWrongSize);
  batch.Append("IF DEFINED DIVRO_BAD PAUSE\r\n");
  batch.Append("IF DEFINED DIVRO_BAD EXIT /B 1\r\n");
  batch.Append(text::CopyBatchEcho);
  batch.Append("PAUSE\r\n");
}

bool ModeHasBatchFiles(const app::RunOptions& options) {
  const app::RunMode mode = options.mode;
  return mode == app::ModeDivide || mode == app::ModeBatch;
}

}  // namespace

bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state) {
  RunFiles files(options);
  return WriteCopyBatch(options, files, state);
}

bool WriteCopyBatch(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                    int divisionCount, std::uint64_t wholeSize,
                    const std::function<bool()>& destinationReady) {
  if (!ModeHasBatchFiles(options)) return false;
  BatchRun run(options, files, state);
  const std::string element = run.BatchElement(".cpy.bat");
  if (!FirstPieceThere(run, element)) return false;
  if (!run.pieceFolder.FileExists(run.names.Element(2))) {
    app::PrintFailure(text::SecondPieceMissing, run.names.Shown(2));
    return false;
  }
  int count = divisionCount;
  if (count == 0) {
    if (!SetAgrees(run, &count)) return false;
    const std::optional<std::uint64_t> sum = SizeOfPieces(run, count);
    if (!sum) return false;
    wholeSize = *sum;
  }
  const WriteTarget target = BatchTarget(run, element, destinationReady);
  if (target == WriteTarget::Stop) return false;

  const std::optional<std::string> wholeName = InBatch(run.set.stem);
  const PieceNamesInBatch pieceNames(run.names);
  const auto compose = [&](TextBlock& batch) {
    ComposeCopyBatch(batch, wholeName, pieceNames, count, wholeSize);
  };
  // Composed twice: once to measure, once into a block of exactly that size.
  TextBlock measured;
  compose(measured);
  path::WorkBuffer block;
  if (!block.Allocate(measured.Length())) {
    app::PrintFailure(text::OutOfMemory);
    return false;
  }
  TextBlock batch(block.Data(), block.Size());
  compose(batch);
  return WriteBatchText(run, element, target, batch, ".dvr.bat");
}

bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state) {
  RunFiles files(options);
  return WriteSelfBatch(options, files, state);
}

bool WriteSelfBatch(const app::RunOptions& options, RunFiles& files, app::RunState& state,
                    int divisionCount, const std::function<bool()>& destinationReady) {
  if (!ModeHasBatchFiles(options)) return false;
  BatchRun run(options, files, state);
  const std::string element = run.BatchElement(".dvr.bat");
  if (!FirstPieceThere(run, element)) return false;
  int count = divisionCount;
  if (count == 0 && !SetAgrees(run, &count)) return false;
  const WriteTarget target = BatchTarget(run, element, destinationReady);
  if (target == WriteTarget::Stop) return false;
  char data[SelfBatchSize];
  TextBlock batch(data, sizeof data);
  const std::optional<std::string> firstPiece = PieceNamesInBatch(run.names).Name(1);
  batch.Append("@ECHO OFF\r\n");
  if (HoldsExclamation(firstPiece)) batch.Append(DelayedExpansionOff);
  batch.Append("DIVRO ");
  batch.AppendName(firstPiece);
  batch.Append(text::SelfBatchEcho);
  batch.Append("PAUSE\r\n");
  return WriteBatchText(run, element, target, batch, ".cpy.bat");
}

}  // namespace pieces
