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
#include "pieces/checksum_side.h"
#include "pieces/overwrite.h"
#include "pieces/piece_names.h"
#include "pieces/work_buffer.h"
#include "platform/common/path_text.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace pieces {

namespace {

// Room for the self-invoking batch text: always enough for its one name.
constexpr std::size_t SelfBatchSize = 3 * text::PathCapacity;

// A control byte in a name would end the batch line there (the command
// processor ends a line at LF) and run the rest as a command of its own.
// A name Windows cannot hold (a POSIX system's may) names no file where the
// batch file runs.
bool WindowsHolds(const std::string& name) {
  for (const char* p = name.c_str(); *p != '\0'; p += text::CharLength(p)) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7f) return false;
    if (text::CharLength(p) == 1 && std::strchr("\\/:*?\"<>|", *p) != nullptr) return false;
  }
  const char* last = text::LastChar(name.c_str());
  return last == nullptr || (*last != ' ' && *last != '.');
}

// The name as the batch text holds it: in code page 932, then quoted where
// the command processor would split it, judged on the bytes written.
// Nothing for a name that cannot stand there.
std::optional<std::string> InBatch(const std::string& name) {
  std::string converted;
  if (!WindowsHolds(name) || !platform::PathTextToBatchText(name, &converted)) {
    return std::nullopt;
  }
  return QuoteForBatch(converted.c_str());
}

// With delayed expansion on (cmd /v:on) a ! is expanded even inside
// quotes, so a batch file naming one turns it off for its own lines.
const char DelayedExpansionOff[] = "SETLOCAL DisableDelayedExpansion\r\n";

bool HoldsExclamation(const std::optional<std::string>& name) {
  return name && name->find('!') != std::string::npos;
}

// Appends at the end of a fixed block, never past it, and never rescans
// what is already there.
class TextBlock {
 public:
  // Without a block it only measures: its length is what the text needs.
  TextBlock() = default;
  TextBlock(char* data, std::size_t capacity) : data_(data), capacity_(capacity) {}
  void Append(const char* s) { Append(s, std::strlen(s)); }
  void Append(const std::string& s) { Append(s.data(), s.size()); }
  void Append(const char* s, std::size_t n) {
    if (data_ != nullptr) {
      if (length_ + n > capacity_) {
        unusable_ = true;
        return;
      }
      std::memcpy(data_ + length_, s, n);
    }
    length_ += n;
  }
  // A name that cannot stand in the text spoils it.
  void AppendName(const std::optional<std::string>& name) {
    if (!name) unusable_ = true;
    Append(name.value_or(""));
  }
  bool Complete() const { return !unusable_; }
  const char* Data() const { return data_; }
  std::size_t Length() const { return length_; }

 private:
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
  bool unusable_ = false;
};

struct NameAndExt {
  std::string name;
  std::string ext;
};

// A name taken apart at its last dot; a name, never read as a path.
NameAndExt SplitElement(const std::string& element) {
  const char* begin = element.c_str();
  const char* dot = nullptr;
  for (const char* p = begin; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '.') dot = p;
  }
  if (dot == nullptr) return {element, ""};
  return {std::string(begin, dot), dot};
}

// What one batch writer works with, composed once: the pieces in their
// folder, and the batch files in the destination folder (or the current
// one), named after the whole file without its extension; and the run's
// state, for the overwrite question.
struct BatchRun {
  BatchRun(const app::RunOptions& runOptions, app::RunState& runState)
      : options(runOptions),
        state(runState),
        set(PiecesOfRun(options)),
        pieceFolder(set.folder),
        names(pieceFolder, set.stem),
        base(SplitElement(set.stem).name) {}

  std::string BatchElement(const char* extension) const {
    return BatchFileName(set.stem, extension);
  }
  path::Shown BatchShown(const std::string& element) const { return {options.destFolder, element}; }
  // Resolved once it is asked for: by then a folder that was missing has
  // been made.
  const path::Place& BatchFolder() {
    if (!batchFolder) batchFolder.emplace(options.destFolder);
    return *batchFolder;
  }

  const app::RunOptions& options;
  app::RunState& state;
  const PieceSetName set;
  const path::Place pieceFolder;
  const PieceNamer names;
  const std::string base;

 private:
  std::optional<path::Place> batchFolder;
};

// The pieces' names without their folder, as they stand in the batch text.
class PieceNamesInBatch {
 public:
  explicit PieceNamesInBatch(const PieceNamer& names) {
    numbered_ = !names.Stem().empty();
    // Only the number differs from piece to piece, and it stays as it is
    // through quoting and conversion: the first name gives the others.
    std::optional<std::string> converted = InBatch(names.Element(1));
    if (!numbered_ || !converted) return;
    const std::size_t suffixLength = PieceSuffix(1).size();
    if (converted->back() == '"') closing_ = "\"";
    prefix_ = converted->substr(0, converted->size() - closing_.size() - suffixLength);
    usable_ = true;
  }

  // Nothing when the names cannot stand in a batch file. `tail` goes after
  // the name, inside its quotes.
  std::optional<std::string> Name(int n, const char* tail = "") const {
    if (!numbered_) return std::string();
    if (!usable_) return std::nullopt;
    return prefix_ + PieceSuffix(n) + tail + closing_;
  }

 private:
  std::string prefix_;
  std::string closing_;
  bool numbered_ = false;
  bool usable_ = false;
};

// The name with `tail` after it, inside its quotes where it has them.
std::optional<std::string> WithTail(const std::optional<std::string>& name, const char* tail) {
  if (!name) return name;
  const std::size_t end = name->size() - (!name->empty() && name->back() == '"' ? 1 : 0);
  return std::string(*name).insert(end, tail);
}

// + is COPY's own: a bare c++.txt would be read as two names to join.
// , and ; part arguments as a blank does. | stands only as the second byte
// of a double-byte character, which a single-byte code page reads as |.
bool IsSpecialToCommandProcessor(char c) { return std::strchr(" &^()=!%+,;|", c) != nullptr; }

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
  path::FileHandle file(&batchFolder.Handle());
  const auto clashes = [&] { return NamesAFileOfTheRun(run, element, otherExtension); };
  WriteOpen opened =
      text.Complete() ? OpenToWrite(file, batchFolder, element, target, run.state, nullptr, clashes)
                      : WriteOpen::Failed;
  if (opened == WriteOpen::Stopped) {
    app::PrintFailure(text::BatchStopped, shown);
    return false;
  }
  if (opened == WriteOpen::Failed) {
    // A batch text left incomplete holds a name it cannot carry: one that
    // Windows cannot hold, or code page 932 cannot.
    const char* reason = text.Complete()               ? nullptr
                         : !WindowsHolds(run.set.stem) ? text::ReasonWindowsCannotHold
                                                       : text::ReasonNotCodePage932;
    app::PrintFailure(text::BatchOpenFailed, shown, file.LastFailure(), reason);
    return false;
  }
  std::uint32_t length = static_cast<std::uint32_t>(text.Length());
  std::uint32_t written = file.Write(text.Data(), length);
  file.Close();
  if (written != length) {
    app::PrintFailure(text::BatchWriteFailed, shown, file.LastFailure());
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

bool ModeHasBatchFiles(const app::RunOptions& options) {
  const app::RunMode mode = options.mode;
  return mode == app::ModeDivide || mode == app::ModeBatch;
}

}  // namespace

std::string QuoteForBatch(const char* name) {
  // Byte by byte: a command processor on a single-byte code page reads the
  // second byte of a code page 932 character (0x7C, 0x5E) as | or ^.
  // Inside quotes every code page takes them literally.
  bool special = false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (IsSpecialToCommandProcessor(*p)) special = true;
  }
  if (!special) return name;
  // A name with a blank and nothing else special is exactly QuoteIfSpaced.
  // No second byte is a % (0x25), so every % byte is one to double.
  std::string quoted = "\"";
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '%') quoted += '%';
    quoted += *p;
  }
  quoted += '"';
  return quoted;
}

std::string BatchFileName(const std::string& stem, const char* extension) {
  return SplitElement(stem).name + extension;
}

bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state) {
  return WriteCopyBatch(options, state, nullptr);
}

bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state,
                    const std::function<bool()>& destinationReady) {
  return WriteCopyBatch(options, state, 0, 0, destinationReady);
}

bool WriteCopyBatch(const app::RunOptions& options, app::RunState& state, int divisionCount,
                    std::uint64_t wholeSize, const std::function<bool()>& destinationReady) {
  if (!ModeHasBatchFiles(options)) return false;
  BatchRun run(options, state);
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
  const std::optional<std::string> firstPiece = pieceNames.Name(1);
  const auto compose = [&](TextBlock& batch) {
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
  };
  // Composed twice: once to measure, once into a block of exactly that size.
  TextBlock measured;
  compose(measured);
  WorkBuffer block;
  if (!block.Allocate(measured.Length())) {
    app::PrintFailure(text::OutOfMemory);
    return false;
  }
  TextBlock batch(block.Data(), block.Size());
  compose(batch);
  return WriteBatchText(run, element, target, batch, ".dvr.bat");
}

bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state) {
  return WriteSelfBatch(options, state, nullptr);
}

bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state,
                    const std::function<bool()>& destinationReady) {
  return WriteSelfBatch(options, state, 0, destinationReady);
}

bool WriteSelfBatch(const app::RunOptions& options, app::RunState& state, int divisionCount,
                    const std::function<bool()>& destinationReady) {
  if (!ModeHasBatchFiles(options)) return false;
  BatchRun run(options, state);
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
