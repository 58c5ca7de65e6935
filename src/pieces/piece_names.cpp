#include "pieces/piece_names.h"

#include <cstring>
#include <string>

#include "app/run_options.h"
#include "path/file_system.h"
#include "path/path_parts.h"

namespace pieces {

namespace {

void AppendSuffix(int n, std::string* name) {
  char suffix[5] = {'.'};
  if (n < 1000) {  // "%03d"
    suffix[1] = static_cast<char>('0' + n / 100);
    suffix[2] = static_cast<char>('0' + n / 10 % 10);
    suffix[3] = static_cast<char>('0' + n % 10);
  } else {
    int m = n - 1000;
    suffix[1] = static_cast<char>('a' + (m / 676) % 26);
    suffix[2] = static_cast<char>('a' + (m / 26) % 26);
    suffix[3] = static_cast<char>('a' + m % 26);
  }
  *name += suffix;
}

}  // namespace

std::string ComposePieceName(int n) {
  if (n < 0 || n > MaxPieces) return std::string();
  const app::RunOptions& options = app::g_runOptions;
  path::PathParts parts;
  parts.Decompose(options.sourcePath);
  std::string name;
  if (options.mode == app::ModeDivide) {
    name = std::string(options.destFolder) + parts.Fname() + parts.Ext();
  } else {
    name = std::string(parts.Server()) + parts.Share() + parts.Drive() + parts.Dir() +
           parts.Fname();
  }
  AppendSuffix(n, &name);
  return name;
}

char* MakePieceName(char* buffer, int n) {
  std::string name = ComposePieceName(n);
  buffer[0] = '\0';
  if (!name.empty() && name.size() < MAX_PATH) std::memcpy(buffer, name.c_str(), name.size() + 1);
  return buffer;
}

int CountPieces() {
  char name[MAX_PATH];
  int k = 0;
  while (k < MaxPieces && path::FileExists(MakePieceName(name, k + 1))) ++k;
  return k;
}

}  // namespace pieces
