// Piece names, the batch-file form of any name, and both batch writers. Input:
// selector, mode byte, then number, source, destination and a name, cut at zero bytes.
#include "app/run_options.h"
#include "fuzz_common.h"
#include "pieces/batch.h"
#include "path/path_parts.h"
#include "pieces/piece_names.h"
#include "platform/platform_fake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TakeSelector(data, size);
  fake::Reset();
  int mode = size > 0 ? (--size, *data++ % 4) : 0;
  std::vector<std::string> fields = Fields(data, size, 4);
  app::RunOptions& o = app::g_runOptions = app::RunOptions();
  o.mode = mode;
  o.overwriteAll = true;  // no question: the fake keyboard has no keys
  std::snprintf(o.sourcePath, MAX_PATH, "%s", fields[1].c_str());
  std::snprintf(o.destFolder, MAX_PATH, "%s", fields[2].c_str());

  int n = static_cast<int>(std::clamp(std::strtol(fields[0].c_str(), nullptr, 10), -99999L, 99999L));
  std::unique_ptr<char[]> block(new char[MAX_PATH]);
  const char* name = pieces::MakePieceName(block.get(), n);
  std::size_t length = std::strlen(name);
  char suffix[8];
  int m = n - 1000;
  if (n < 1000) std::snprintf(suffix, sizeof suffix, ".%03d", n);
  else std::snprintf(suffix, sizeof suffix, ".%c%c%c", 'a' + m / 676 % 26, 'a' + m / 26 % 26, 'a' + m % 26);
  FUZZ_CHECK(length == 0 || (n >= 0 && n <= pieces::MaxPieces && std::strcmp(name + length - 4, suffix) == 0));
  FUZZ_CHECK(length == 0 || mode != app::ModeDivide || std::strncmp(name, o.destFolder, std::strlen(o.destFolder)) == 0);

  auto plain = HeapText(fields[3]);
  std::string quoted = pieces::BatchName(plain.get());
  bool special = false;
  for (const char* p = plain.get(); *p != '\0'; p += text::CharLength(p))
    special |= text::CharLength(p) == 1 && std::strchr(" &^()=!%+,;", *p) != nullptr;
  FUZZ_CHECK(special ? quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"' : quoted == fields[3]);
  // Every % inside the quotes is doubled; undoubled, the name comes back.
  std::string inner = special ? quoted.substr(1, quoted.size() - 2) : "", undone;
  for (const char* p = inner.c_str(); *p != '\0'; p += text::CharLength(p)) {
    if (text::CharLength(p) == 1 && *p == '%') FUZZ_CHECK(*++p == '%');
    undone.append(p, text::CharLength(p));
  }
  FUZZ_CHECK(!special || undone == fields[3]);

  char piece[MAX_PATH];  // the fake takes only names that fit
  if ((mode == app::ModeDivide || mode == app::ModeBatch) && *pieces::MakePieceName(piece, 2) != '\0') {
    fake::AddFile(piece, "2");
    fake::AddFile(pieces::MakePieceName(piece, 1), "1");
    pieces::WriteCopyBatch();
    pieces::WriteSelfBatch();
    // The first line names each piece by its own file name, worked out
    // afresh from that piece's full name, or where that is too long to make,
    // from the last element of the name as written.
    auto nameInBatch = [](int k) {
      char full[MAX_PATH];
      const char* name = pieces::MakePieceName(full, k);
      path::PathParts parts;
      if (parts.Decompose(name)) return pieces::BatchName((std::string(parts.Fname()) + parts.Ext()).c_str());
      const char* element = name;
      for (const char* p = name; *p != '\0'; p += text::CharLength(p)) {
        if (*p == '\\' || (*p == ':' && p == name + 1)) element = p + 1;
      }
      return pieces::BatchName(element);
    };
    const std::string firstLine = "COPY /B " + nameInBatch(1) + " + " + nameInBatch(2) + " ";
    for (const auto& [key, entry] : fake::State().entries) {
      if (!entry.isFolder && key.size() > 8 && key.compare(key.size() - 8, 8, ".CPY.BAT") == 0)
        FUZZ_CHECK(entry.data.find(firstLine) != std::string::npos);
    }
  }
  return 0;
}
