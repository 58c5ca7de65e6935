// Path text on arbitrary bytes: the syntax check, the tests and edits, and the
// path record, whose six components put together are the full path or empty.
#include "fuzz_common.h"
#include "path/path_parts.h"
#include "path/path_rules.h"
#include "platform/platform.h"
#include "platform/platform_fake.h"

namespace {

void CheckRules(const std::string& text, const char* p) {
  bool valid = path::IsValidPath(p), unc = path::IsUncPath(p), ends = path::EndsWithBackslash(p);
  bool server = path::IsUncServerPath(p), share = path::IsUncShareRoot(p);
  FUZZ_CHECK(!unc || (valid && text.compare(0, 2, "\\\\") == 0));
  FUZZ_CHECK(!(server && share) && (unc || !(server || share)));
  FUZZ_CHECK((!path::IsDriveRoot(p) || valid) && text == p);

  std::unique_ptr<char[]> block(new char[MAX_PATH]);  // the callers' buffers
  char* b = std::strcpy(block.get(), p);
  char* result = path::AppendBackslash(b);
  if (ends) FUZZ_CHECK(result == b && text == b);
  else if (text::HasDanglingLeadByte(p) || text.size() + 2 > MAX_PATH) FUZZ_CHECK(!result && text == b);
  else FUZZ_CHECK(result == b && path::EndsWithBackslash(b) && path::StripBackslash(b) == b && text == b);
  path::StripBackslash(std::strcpy(b, p));
  FUZZ_CHECK(text == std::string(b) + (ends ? "\\" : ""));

  bool untouched = text.empty() || (text[0] == '"' && text.back() == '"') || !text::FindChar(p, ' ');
  result = path::QuoteIfSpaced(std::strcpy(b, p));
  if (untouched) FUZZ_CHECK(result == b && text == b);
  else if (text.size() + 3 > MAX_PATH) FUZZ_CHECK(!result && text == b);
  else FUZZ_CHECK(result == b && "\"" + text + "\"" == b);
}

void CheckParts(const char* p) {
  path::PathParts parts;
  bool decomposed = parts.Decompose(p);
  std::string joined = std::string(parts.Server()) + parts.Share() + parts.Drive() + parts.Dir() +
                       parts.Fname() + parts.Ext();
  char full[MAX_PATH] = {};
  unsigned length = path::IsValidPath(p) ? platform::FullPathName(p, full, MAX_PATH) : 0;
  bool fits = length > 0 && length < MAX_PATH;
  std::size_t kept = fits ? std::strlen(path::StripBackslash(full)) : 0;
  if (kept > 0 && kept + 2 <= MAX_PATH && full[kept - 1] == ':') std::strcat(full, "\\");  // a drive root's
  FUZZ_CHECK(decomposed == (fits && full[0] != '\0') && joined == (decomposed ? full : ""));
  const char* ext = parts.Ext();  // from the last dot of the last element
  FUZZ_CHECK(ext[0] == '\0' ? !text::FindChar(parts.Fname(), '.') : ext[0] == '.' && !text::FindChar(ext + 1, '.'));
  FUZZ_CHECK(parts.Dir()[0] == '\0' || path::EndsWithBackslash(parts.Dir()));
  FUZZ_CHECK(!text::FindChar(parts.Fname(), '\\') && !text::FindChar(ext, '\\'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const currentDirs[] = {"C:\\work", "C:\\", "\\\\srv\\share\\d"};
  fake::State().currentDir = currentDirs[(TakeSelector(data, size) >> 1) % 3];
  // The callers hold paths in MAX_PATH buffers: longer text is cut.
  std::string text = Fields(data, size, 1)[0].substr(0, MAX_PATH - 1);
  auto exact = HeapText(text);
  CheckRules(text, exact.get());
  CheckParts(exact.get());
  return 0;
}
