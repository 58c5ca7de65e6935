// The option parser on any argument vector (the input cut at zero bytes):
// paths that fit, too many arguments refused, /? first, and sizes that obey
// their units' relations without wrapping.
#include <algorithm>
#include <cctype>
#include <optional>

#include "app/run_options.h"
#include "entry/entry.h"
#include "fuzz_common.h"
#include "path/path_rules.h"
#include "platform/platform_fake.h"

namespace {

// The piece size a lone size option gives, beside a source that exists.
std::optional<std::uint64_t> PieceSizeOf(const std::string& option) {
  const std::unique_ptr<char[]> text = HeapText(option);
  const char* argv[] = {"divro", "C:\\work\\movie.avi", text.get()};
  app::RunOptions o;
  if (!app::ParseArguments(3, argv, &o) || !o.sizeGiven) return std::nullopt;
  return o.pieceSize;
}

std::string Cased(std::string text, int (*change)(int)) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [change](char c) { return static_cast<char>(change(static_cast<unsigned char>(c))); });
  return text;
}

// A size option's relations: the case of its letters never matters; a bare
// number is KiB, as with K or KiB after it; M is 1024 times K, to the byte
// (powers of two scale exactly), and a size beyond 64 bits stays the largest.
void CheckSizeRelations(const std::string& option) {
  const std::optional<std::uint64_t> size = PieceSizeOf(option);
  if (!size) return;
  FUZZ_CHECK(PieceSizeOf(Cased(option, ::toupper)) == size);
  FUZZ_CHECK(PieceSizeOf(Cased(option, ::tolower)) == size);
  if (option.size() < 2 || !std::isdigit(static_cast<unsigned char>(option.back()))) return;
  FUZZ_CHECK(PieceSizeOf(option + "k") == size && PieceSizeOf(option + "KiB") == size);
  const std::optional<std::uint64_t> mebibytes = PieceSizeOf(option + "m");
  FUZZ_CHECK(mebibytes.has_value());
  const unsigned __int128 m = *mebibytes, k = *size;
  FUZZ_CHECK(m == UINT64_MAX ? k >= UINT64_MAX / 1024 : (1024 * k <= m && m < 1024 * (k + 1)));
  FUZZ_CHECK(k != UINT64_MAX || m == UINT64_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TakeSelector(data, size);
  fake::Reset();
  fake::AddFile("C:\\work\\movie.avi", "x");
  app::RunOptions o;
  std::vector<std::string> arguments = Fields(data, size, 0);
  arguments.resize(size == 0 ? 0 : std::min<std::size_t>(arguments.size(), 7));  // 7: one too many

  std::vector<std::unique_ptr<char[]>> blocks;
  std::vector<const char*> argv = {"divro"};
  bool tooLong = false, sourceSeen = false, emptyDestination = false, helpAsked = arguments.empty();
  std::size_t checksumWords = 0;  // /H and /V are not among the six arguments
  const char* sizeArgument = nullptr;
  for (const std::string& argument : arguments) {
    const char* a = argv.emplace_back((blocks.emplace_back(HeapText(argument))).get());
    helpAsked |= argument == "/?";
    checksumWords += argument == "/h" || argument == "/H" || argument == "/v" || argument == "/V";
    if (a[0] == '/') {
      if (argument.size() != 2 || !std::strchr("cCsSyYhHvV?", a[1])) sizeArgument = a;
      continue;
    }
    if (sourceSeen) emptyDestination = argument.empty();
    tooLong |= argument.size() >= MAX_PATH;
    sourceSeen = true;
  }
  bool ok = app::ParseArguments(static_cast<int>(argv.size()), argv.data(), &o);
  FUZZ_CHECK(strnlen(o.sourcePath, MAX_PATH) < MAX_PATH && strnlen(o.destFolder, MAX_PATH) < MAX_PATH);
  // A bare drive (D:) gets its backslash too: the drive's root.
  FUZZ_CHECK(o.destFolder[0] == '\0' || path::EndsWithBackslash(o.destFolder));
  // An empty destination is no folder, never the root.
  FUZZ_CHECK(!ok || !emptyDestination || !path::IsValidPath(o.destFolder));
  // /? wins over every other argument, but not over too many of them.
  if (helpAsked) {
    FUZZ_CHECK(ok == (argv.size() - checksumWords <= 7) && (!ok || o.showHelp));
    return 0;
  }
  // Too many arguments, or a path that cannot fit, are refused.
  FUZZ_CHECK(!ok || (argv.size() - checksumWords <= 7 && !tooLong));
  FUZZ_CHECK(!ok || o.sizeGiven == (sizeArgument != nullptr));
  if (!ok || sizeArgument == nullptr) return 0;
  const char* number = sizeArgument + 1;
  const bool floppy = (number[0] | 0x20) == 'f' && number[1] == '\0';
  FUZZ_CHECK(!floppy || o.pieceSize == app::FloppySize);
  CheckSizeRelations(sizeArgument);
  return 0;
}
