// The option parser on any argument vector (the input cut at zero bytes):
// only unfit paths are refused, and the piece size never wraps.
#include <cmath>
#include <regex>

#include "entry/entry.h"
#include "app/run_options.h"
#include "fuzz_common.h"
#include "path/file_system.h"
#include "path/path_parts.h"
#include "path/path_rules.h"
#include "platform/platform_fake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TakeSelector(data, size);
  fake::Reset();
  fake::AddFile("C:\\work\\movie.avi", "x");
  app::RunOptions o;
  std::vector<std::string> arguments = Fields(data, size, 0);
  arguments.resize(size == 0 ? 0 : std::min<std::size_t>(arguments.size(), 7));  // 7: one too many

  std::vector<std::unique_ptr<char[]>> blocks;
  std::vector<const char*> argv = {"divro"};
  bool refused = false, sourceSeen = false, emptyDestination = false, helpAsked = arguments.empty();
  std::size_t checksumWords = 0;  // /H is not one of the six arguments
  const char* sizeArgument = nullptr;
  for (const std::string& argument : arguments) {
    const char* a = argv.emplace_back((blocks.emplace_back(HeapText(argument))).get());
    helpAsked |= argument == "/?";
    checksumWords += argument == "/h" || argument == "/H";
    if (a[0] == '/') {
      if (argument.size() != 2 || !std::strchr("cCsSyYhH?", a[1])) sizeArgument = a;
      continue;
    }
    if (sourceSeen) emptyDestination = argument.empty();
    // A destination gets a backslash: no room, or a dangling lead byte, refuses it.
    bool noRoom = argument.size() >= MAX_PATH - 1 || text::HasDanglingLeadByte(a);
    refused |= argument.size() >= MAX_PATH || (sourceSeen && noRoom && !path::EndsWithBackslash(a));
    // A source found as typed but whose full form is too long to take apart.
    char resolved[MAX_PATH];
    path::PathParts parts;
    refused |= !sourceSeen && argument.size() < MAX_PATH && path::ResolveSourcePath(a, resolved) &&
               path::IsValidPath(resolved) && !parts.Decompose(resolved);
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
  FUZZ_CHECK(ok == (argv.size() - checksumWords <= 7 && !refused));
  FUZZ_CHECK(!ok || o.sizeGiven == (sizeArgument != nullptr));
  if (!ok || sizeArgument == nullptr) return 0;
  const char* number = sizeArgument + 1;
  bool floppy = (number[0] | 0x20) == 'f' && number[1] == '\0';
  FUZZ_CHECK(!floppy || o.pieceSize == app::FloppySize);

  // The C library reads decimal numbers the same way: compare where it does.
  const char* q = number + std::strspn(number, " \t\n\v\f\r");
  q += (*q == '+' || *q == '-') ? 1 : 0;
  if (floppy || (q[0] == '0' && (q[1] | 0x20) == 'x') || (*q | 0x20) == 'i' || (*q | 0x20) == 'n') return 0;
  double value = std::strtod(number, nullptr);
  // A unit at the end, in any case: K, KB, KiB, and so M, G, T; else KiB.
  static const std::regex unitPattern("([kmgt])(i?b)?$", std::regex::icase);
  std::cmatch unit;
  std::size_t power = 1;
  if (std::regex_search(sizeArgument, unit, unitPattern)) {
    power += std::string("kmgt").find(static_cast<char>(unit[1].str()[0] | 0x20));
  }
  double bytes = value * std::ldexp(1.0, 10 * static_cast<int>(power));
  FUZZ_CHECK(o.pieceSize == (!(value > 0) ? 0u
                             : bytes >= 4294967295.0 ? UINT32_MAX : static_cast<std::uint32_t>(bytes)));
  return 0;
}
