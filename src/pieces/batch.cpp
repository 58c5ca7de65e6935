#include "pieces/batch.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "app/output.h"
#include "app/run_options.h"
#include "path/file_handle.h"
#include "path/file_system.h"
#include "path/path_parts.h"
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

// The fname and ext of a name, as taken apart against the current folder.
// In a deep folder the full form of a relative name can be too long for
// that; the name is then split as written: its last element, at the last
// dot, which is what the full form would have given.
NameAndExt SplitName(const char* path) {
  path::PathParts parts;
  if (parts.Decompose(path)) return {parts.Fname(), parts.Ext()};
  const char* element = platform::LastElement(path);
  const char* dot = nullptr;
  for (const char* p = element; *p != '\0'; p += text::CharLength(p)) {
    if (*p == '.') dot = p;
  }
  if (dot == nullptr) return {element, ""};
  return {std::string(element, dot), dot};
}

// The batch file's path: destFolder + the whole file's name without its
// extension + `extension`. One too long for a path fails to open.
std::string BatchFilePath(const char* extension) {
  const app::RunOptions& options = app::g_runOptions;
  path::PathParts parts;
  parts.Decompose(options.sourcePath);
  // In batch mode the source is a piece: its fname is the whole file's name.
  std::string base = options.mode == app::ModeBatch ? SplitName(parts.Fname()).name : parts.Fname();
  return std::string(options.destFolder) + base + extension;
}

// The pieces' names without their folder, as they stand in the batch text.
// They differ only in their number, so the folder is taken off once.
class PieceNamesInBatch {
 public:
  PieceNamesInBatch() {
    char name[text::PathCapacity];
    NameAndExt first = SplitName(MakePieceName(name, 1));
    numbered_ = !first.name.empty() || !first.ext.empty();
    // Only the number differs from piece to piece, and it stays as it is
    // through quoting and conversion: the first name gives the others.
    std::optional<std::string> converted = InBatch(first.name + first.ext);
    if (!numbered_ || !converted) return;
    const std::size_t suffixLength = PieceSuffix(1).size();
    if (converted->back() == '"') closing_ = "\"";
    prefix_ = converted->substr(0, converted->size() - closing_.size() - suffixLength);
    usable_ = true;
  }

  // Nothing when the names cannot stand in a batch file.
  std::optional<std::string> Name(int n) const {
    if (!numbered_) return std::string();
    if (!usable_) return std::nullopt;
    return prefix_ + PieceSuffix(n) + closing_;
  }

 private:
  std::string prefix_;
  std::string closing_;
  bool numbered_ = false;
  bool usable_ = false;
};

// + is COPY's own: a bare c++.txt would be read as two names to join.
// , and ; part arguments as a blank does. | stands only as the second byte
// of a double-byte character, which a single-byte code page reads as |.
bool IsSpecialToCommandProcessor(char c) { return std::strchr(" &^()=!%+,;|", c) != nullptr; }

// Prints the name, asks before an existing file is replaced, and checks the
// first piece. Stop when the batch file must not be written.
WriteTarget PrepareBatchFile(const std::string& batchName) {
  app::Print("%s\n", batchName.c_str());
  WriteTarget target = CheckWriteTarget(batchName.c_str());
  if (target == WriteTarget::Stop) {
    app::PrintFailure(text::BatchStopped, batchName.c_str());
    return target;
  }
  char name[text::PathCapacity];
  if (!path::FileExists(MakePieceName(name, 1))) {
    app::PrintFailure(text::FirstPieceMissing, name);
    return WriteTarget::Stop;
  }
  return target;
}

// An existing batch name that is a link to the source, to a piece or to the
// other batch file: writing it would destroy what it names.
bool NamesAFileOfTheRun(const std::string& batchName, const char* otherExtension) {
  const char* batch = batchName.c_str();
  if (path::SameFile(batch, app::g_runOptions.sourcePath) ||
      path::SameFile(batch, BatchFilePath(otherExtension).c_str())) {
    return true;
  }
  const PieceNamer names;
  char name[text::PathCapacity];
  for (int i = 1; i <= MaxPieces && path::FileExists(names.WriteName(name, i)); ++i) {
    if (path::SameFile(batch, name)) return true;
  }
  return false;
}

// Opens, writes the whole text in one call and reports.
bool WriteBatchText(const std::string& batchName, WriteTarget target, const TextBlock& text,
                    const char* otherExtension) {
  path::FileHandle file;
  const auto clashes = [&] { return NamesAFileOfTheRun(batchName, otherExtension); };
  WriteOpen opened = text.Complete()
                         ? OpenToWrite(file, batchName.c_str(), target, nullptr, clashes)
                         : WriteOpen::Failed;
  if (opened == WriteOpen::Stopped) {
    app::PrintFailure(text::BatchStopped, batchName.c_str());
    return false;
  }
  if (opened == WriteOpen::Failed) {
    app::PrintFailure(text::BatchOpenFailed, batchName.c_str());
    return false;
  }
  std::uint32_t length = static_cast<std::uint32_t>(text.Length());
  std::uint32_t written = file.Write(text.Data(), length);
  file.Close();
  if (written != length) {
    app::PrintFailure(text::BatchWriteFailed, batchName.c_str());
    return false;
  }
  app::PrintLine(text::BatchCreated);
  return true;
}

bool ModeHasBatchFiles() {
  app::RunMode mode = app::g_runOptions.mode;
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

bool WriteCopyBatch() {
  if (!ModeHasBatchFiles()) return false;
  std::string batchName = BatchFilePath(".cpy.bat");
  const WriteTarget target = PrepareBatchFile(batchName);
  if (target == WriteTarget::Stop) return false;
  char name[text::PathCapacity];
  if (!path::FileExists(MakePieceName(name, 2))) {
    app::PrintFailure(text::SecondPieceMissing, name);
    return false;
  }
  int count = CountPieces();

  const std::optional<std::string> wholeName = InBatch(SplitName(MakePieceName(name, 1)).name);
  const PieceNamesInBatch pieceNames;
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
    }
    batch.Append(text::CopyBatchMissing);
    batch.Append("IF DEFINED DIVRO_MISSING PAUSE\r\n");
    batch.Append("IF DEFINED DIVRO_MISSING EXIT /B 1\r\n");
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
  return WriteBatchText(batchName, target, batch, ".dvr.bat");
}

bool WriteSelfBatch() {
  if (!ModeHasBatchFiles()) return false;
  std::string batchName = BatchFilePath(".dvr.bat");
  const WriteTarget target = PrepareBatchFile(batchName);
  if (target == WriteTarget::Stop) return false;
  char data[SelfBatchSize];
  TextBlock batch(data, sizeof data);
  const std::optional<std::string> firstPiece = PieceNamesInBatch().Name(1);
  batch.Append("@ECHO OFF\r\n");
  if (HoldsExclamation(firstPiece)) batch.Append(DelayedExpansionOff);
  batch.Append("DIVRO ");
  batch.AppendName(firstPiece);
  batch.Append(text::SelfBatchEcho);
  batch.Append("PAUSE\r\n");
  return WriteBatchText(batchName, target, batch, ".cpy.bat");
}

}  // namespace pieces
