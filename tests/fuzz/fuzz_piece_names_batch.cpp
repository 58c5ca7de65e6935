// Piece names, the batch-file form of any name, and both batch writers. Input:
// selector, mode byte, then number, source, destination and a name, cut at zero bytes.
#include <cctype>

#include "app/run_options.h"
#include "fuzz_common.h"
#include "pieces/batch.h"
#include "path/path_rules.h"
#include "pieces/piece_names.h"
#include "platform/platform_fake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TakeSelector(data, size);
  fake::Reset();
  auto mode = static_cast<app::RunMode>(size > 0 ? (--size, *data++ % 4) : 0);
  std::vector<std::string> fields = Fields(data, size, 4);
  app::RunOptions o;
  o.mode = mode;
  app::RunState state;
  state.overwriteAll = true;  // no question: the fake keyboard has no keys
  std::snprintf(o.sourcePath, MAX_PATH, "%s", fields[1].c_str());
  std::snprintf(o.destFolder, MAX_PATH, "%s", fields[2].c_str());

  int n = static_cast<int>(std::clamp(std::strtol(fields[0].c_str(), nullptr, 10), -99999L, 99999L));
  std::unique_ptr<char[]> block(new char[MAX_PATH]);
  const char* name = pieces::MakePieceName(o, block.get(), n);
  std::size_t length = std::strlen(name);
  // A name ends in its number: three digits that read back as n below
  // 1000, three lower-case letters above; the stem is the same for all.
  const char* number = name + (length >= 4 ? length - 4 : 0);
  bool digits = length >= 4 && std::isdigit(number[1]) && std::isdigit(number[2]) && std::isdigit(number[3]);
  bool letters = length >= 4 && std::islower(number[1]) && std::islower(number[2]) && std::islower(number[3]);
  FUZZ_CHECK(length == 0 || (n >= 0 && n <= pieces::MaxPieces && number[0] == '.' &&
                             (n < 1000 ? digits && std::atoi(number + 1) == n : letters)));
  if (length != 0 && n < pieces::MaxPieces) {
    char next[MAX_PATH];
    pieces::MakePieceName(o, next, n + 1);
    FUZZ_CHECK(std::strncmp(name, next, length - 4) == 0 && std::strcmp(name, next) != 0);
  }
  FUZZ_CHECK(length == 0 || mode != app::ModeDivide || std::strncmp(name, o.destFolder, std::strlen(o.destFolder)) == 0);

  auto plain = HeapText(fields[3]);
  std::string quoted = pieces::QuoteForBatch(plain.get());
  // Quoted, or the very name. A blank or a % always needs the quotes; a
  // name of letters, digits, dots, dashes and double-byte characters never,
  // unless a second byte is one a single-byte code page reads as | or ^.
  // A second byte below 0x40 is no code page 932 one: it counts as a byte
  // of its own.
  bool special = quoted != fields[3];
  bool needs = false, plainOnly = true;
  for (const char* p = plain.get(); *p != '\0'; ++p) {
    if (text::CharLength(p) > 1 && static_cast<unsigned char>(p[1]) >= 0x40) {
      plainOnly &= p[1] != '|' && p[1] != '^';
      ++p;
      continue;
    }
    if (text::CharLength(p) > 1) continue;  // the lead byte
    needs |= *p == ' ' || *p == '%';
    plainOnly &= std::isalnum(static_cast<unsigned char>(*p)) || *p == '.' || *p == '-';
  }
  FUZZ_CHECK(!special || (quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"'));
  FUZZ_CHECK((!needs || special) && (!plainOnly || !special));
  // Every % byte inside the quotes is doubled (the bytes are read one by
  // one, as a single-byte code page reads them); undoubled, the name comes back.
  std::string inner = special ? quoted.substr(1, quoted.size() - 2) : "", undone;
  for (const char* p = inner.c_str(); *p != '\0'; ++p) {
    if (*p == '%') FUZZ_CHECK(*++p == '%');
    undone += *p;
  }
  FUZZ_CHECK(!special || undone == fields[3]);

  char piece[MAX_PATH];  // the fake takes only names that fit
  // (A piece under a UNC server or share root has no name of its own.)
  if ((mode == app::ModeDivide || mode == app::ModeBatch) && *pieces::MakePieceName(o, piece, 2) != '\0' &&
      !path::IsUncServerPath(piece) && !path::IsUncShareRoot(piece)) {
    fake::AddFile(piece, "2");
    fake::AddFile(pieces::MakePieceName(o, piece, 1), "1");
    pieces::WriteCopyBatch(o, state);
    pieces::WriteSelfBatch(o, state);
    // The first COPY line names each piece by the name the file system
    // stores: read back as cmd reads it (quotes gone, %% undoubled).
    auto stored = [&o](int k) {
      char full[MAX_PATH];
      return fake::State().entries.find(fake::Key(pieces::MakePieceName(o, full, k)))->second.storedName;
    };
    auto operand = [](const std::string& line, std::size_t* at) {
      const bool quoted = line[*at] == '"';
      const std::size_t end = quoted ? line.find('"', *at + 1) : line.find(' ', *at);
      FUZZ_CHECK(end != std::string::npos);
      std::string name = line.substr(*at + quoted, end - *at - quoted);
      *at = end + quoted;
      if (!quoted) return name;
      std::string undone;
      for (std::size_t i = 0; i < name.size(); ++i) undone += name[i], i += name[i] == '%';
      return undone;
    };
    for (const auto& [key, entry] : fake::State().entries) {
      if (entry.isFolder || key.size() <= 8 || key.compare(key.size() - 8, 8, ".CPY.BAT") != 0) continue;
      std::size_t at = entry.data.find("\r\nCOPY /B ");
      FUZZ_CHECK(at != std::string::npos);
      at += 10;
      FUZZ_CHECK(operand(entry.data, &at) == stored(1) && entry.data.compare(at, 3, " + ") == 0);
      at += 3;
      FUZZ_CHECK(operand(entry.data, &at) == stored(2));
    }
  }
  return 0;
}
