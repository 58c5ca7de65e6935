// The text of the batch files: names as code page 932 holds them, quoted
// where the command processor would split them, in a block of fixed size.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "pieces/piece_names.h"

namespace pieces {

// The name as the batch text holds it: in code page 932, then quoted where
// the command processor would split it, judged on the bytes written.
// Nothing for a name that cannot stand there.
std::optional<std::string> InBatch(const std::string& name);

// With delayed expansion on (cmd /v:on) a ! is expanded even inside
// quotes, so a batch file naming one turns it off for its own lines.
inline constexpr char DelayedExpansionOff[] = "SETLOCAL DisableDelayedExpansion\r\n";

// Whether the name holds a ! (delayed expansion would eat it).
bool HoldsExclamation(const std::optional<std::string>& name);

// A control byte in a name would end the batch line there (the command
// processor ends a line at LF) and run the rest as a command of its own.
// A name Windows cannot hold (a POSIX system's may) names no file where the
// batch file runs.
bool WindowsHolds(const std::string& name);

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
NameAndExt SplitElement(const std::string& element);

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
std::optional<std::string> WithTail(const std::optional<std::string>& name, const char* tail);

// The name of a set's batch file: the whole file's name `stem` without its
// extension, then `extension` (".cpy.bat", ".dvr.bat").
std::string BatchFileName(const std::string& stem, const char* extension);

// A file name, given as the code page 932 bytes a batch file holds, as it
// stands there: enclosed in double quotes when one of its bytes, read as a
// single-byte code page reads it, is a blank or a character the command
// processor treats specially, with every % doubled. Other names stay byte
// for byte.
std::string QuoteForBatch(const char* name);

}  // namespace pieces
