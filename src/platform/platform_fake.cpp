#include "platform/platform_fake.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/common/full_path.h"
#include "platform/common/heap_block.h"
#include "platform/common/path_text.h"
#include "platform/common/sha256_library.h"
#include "platform/platform.h"

namespace fake {

namespace {

struct OpenFile {
  std::string key;
  char mode;
  std::size_t position = 0;
};

std::map<platform::FileId, OpenFile>& OpenFiles() {
  static std::map<platform::FileId, OpenFile> files;
  return files;
}

// The UTF-8 of each character beyond ASCII that path text may hold (one
// character of the code page a key: "\x83\x5c" is ソ in code page 932);
// a name with any other converts to nothing.
const std::map<std::string, std::string>& Utf8Of() {
  static const std::map<std::string, std::string> table = {
      {"\x83\x5c", "\xe3\x82\xbd"},  // ソ
      {"\x95\x5c", "\xe8\xa1\xa8"},  // 表
      {"\xb1", "\xef\xbd\xb1"},      // ｱ, a single byte
  };
  return table;
}

bool CallFails(CallKind kind) {
  System& s = State();
  s.callLog.push_back(kind);
  ++s.calls;
  if (s.calls == s.crashAtCall) {
    s.crashed = s.entries;
    s.crashedYet = true;
  }
  return s.crashedYet || s.calls == s.failAtCall;
}

// Windows' ERROR_FILE_EXISTS: the fake's codes are Windows' codes.
constexpr int FileExistsCode = 80;

void NoteCode(platform::Failure* failure, int code) {
  if (failure != nullptr) failure->code = code;
}

// A call of `kind` that fails here, with the code the system would give.
bool CallFails(CallKind kind, platform::Failure* failure) {
  if (!CallFails(kind)) return false;
  NoteCode(failure, InjectedCode(kind));
  return true;
}

bool FullPath(const std::string& path, std::string* full) {
  char buffer[2 * text::PathCapacity];
  unsigned n =
      platform::ComposeFullPath(path.c_str(), State().currentDir.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return false;
  *full = buffer;
  return true;
}

// Upper case for single-byte characters only: a second byte is left alone.
std::string UpperCase(const std::string& text) {
  std::string out;
  for (const char* p = text.c_str(); *p != '\0';) {
    std::size_t n = text::CharLength(p);
    if (n == 1 && *p >= 'a' && *p <= 'z') {
      out += static_cast<char>(*p - 32);
    } else {
      out.append(p, n);
    }
    p += n;
  }
  return out;
}

bool EndsWithSeparator(const std::string& path) {
  return platform::EndsWithSeparator(path.c_str());
}

std::string WithoutSeparator(const std::string& key) {
  if (EndsWithSeparator(key) && key.size() > 3) return key.substr(0, key.size() - 1);
  return key;
}

// The key of the folder that holds `key`, and the last element.
void SplitKey(const std::string& key, std::string* parent, std::string* name) {
  std::size_t cut = 0;
  for (const char* p = key.c_str(); *p != '\0'; p += text::CharLength(p)) {
    if (*p == '\\') cut = static_cast<std::size_t>(p - key.c_str());
  }
  *parent = key.substr(0, cut);
  *name = key.substr(cut + 1);
}

bool IsDriveRootKey(const std::string& key) {
  return key.size() == 3 && key[1] == ':' && key[2] == '\\';
}

bool IsFolderKey(const std::string& key) {
  System& s = State();
  if (key.size() == 2 && key[1] == ':') return s.readyDrives.count(key[0]) != 0;
  if (IsDriveRootKey(key)) return s.readyDrives.count(key[0]) != 0;
  if (s.shares.count(key) != 0) return true;
  auto it = s.entries.find(key);
  return it != s.entries.end() && it->second.isFolder;
}

}  // namespace

System& State() {
  static System system;
  return system;
}

void Reset() {
  OpenFiles().clear();
  State() = System();
  AddFolder("C:\\work");
}

void AfterCrash() {
  System& s = State();
  std::map<std::string, Entry> files = s.crashedYet ? s.crashed : s.entries;
  const std::string currentDir = s.currentDir;
  OpenFiles().clear();
  s = System();
  s.entries = std::move(files);
  s.currentDir = currentDir;
}

std::string Key(const std::string& path) {
  std::string full;
  if (!FullPath(path, &full)) return std::string();
  return WithoutSeparator(UpperCase(full));
}

void AddFolder(const std::string& path) {
  std::string full;
  FullPath(path, &full);
  std::string key = Key(path);
  std::string parent, name;
  SplitKey(key, &parent, &name);
  if (!parent.empty() && parent.size() > 2 && !IsFolderKey(parent) &&
      State().shares.count(parent) == 0 && !IsDriveRootKey(parent + "\\")) {
    AddFolder(parent);
  }
  std::string fullParent, storedName;
  SplitKey(WithoutSeparator(full), &fullParent, &storedName);
  State().entries[key] = Entry{true, storedName, std::string(), UINT64_MAX};
}

void AddFile(const std::string& path, const std::string& data) {
  std::string full;
  FullPath(path, &full);
  std::string key = Key(path);
  std::string parent, name;
  SplitKey(key, &parent, &name);
  if (parent.size() > 2 && !IsFolderKey(parent)) AddFolder(parent);
  std::string fullParent, storedName;
  SplitKey(full, &fullParent, &storedName);
  State().entries[key] = Entry{false, storedName, data, UINT64_MAX};
}

bool Exists(const std::string& path) { return State().entries.count(Key(path)) != 0; }

std::uint64_t Size(const Entry& entry) { return entry.zeros + entry.data.size(); }

std::uint64_t Size(const std::string& path) {
  auto it = State().entries.find(Key(path));
  return it == State().entries.end() ? 0 : Size(it->second);
}

std::string Data(const std::string& path) {
  auto it = State().entries.find(Key(path));
  if (it == State().entries.end()) return std::string();
  return std::string(it->second.zeros, '\0') + it->second.data;
}

}  // namespace fake

namespace platform {

using fake::State;

void OpenStandardStreams() {}
int InitializeLocale() { return text::CodePage(); }

unsigned PathLimit() { return fake::State().pathLimit; }
NamingRules Naming() {
  return fake::State().posixNames ? NamingRules::Posix : NamingRules::Windows;
}

std::string ArgumentToPathText(const char* argument) { return argument; }

bool CurrentFolderIsPathText() { return true; }

ConventionalRequest ConventionalRequestOf(int, const char* const*) {
  return ConventionalRequest::None;
}
std::string DisplayPath(const char* path, Screen) { return path; }
std::string DisplayElement(const char* element, Screen) { return element; }
// The fake's path text is code page 932 already.
bool PathTextToBatchText(const std::string& name, std::string* cp932) {
  if (fake::CallFails(fake::CallConvert)) return false;
  *cp932 = name;
  return true;
}
bool PathTextToUtf8(const std::string& pathText, std::string* utf8) {
  if (fake::CallFails(fake::CallConvert)) return false;
  std::string out;
  for (const char* p = pathText.c_str(); *p != '\0';) {
    const std::size_t n = text::CharLength(p);
    if (static_cast<unsigned char>(*p) < 0x80) {
      out += *p;
    } else {
      auto it = fake::Utf8Of().find(std::string(p, n));
      if (it == fake::Utf8Of().end()) return false;
      out += it->second;
    }
    p += n;
  }
  *utf8 = out;
  return true;
}
std::string MessageForConsole(const char* cp932Text, Screen) { return cp932Text; }
bool PrepareConversions(bool) { return true; }
void ConsoleWrite(const std::string& bytes) { State().output += bytes; }
void WriteWithoutMemory(const char* cp932Text) {
  State().output += cp932Text;
  State().output += "\n";
}
// ERROR_FILE_NOT_FOUND: the fake's paths are Windows' paths.
Failure NotFound() { return {2, {}, {}}; }
Failure IsAFolder() { return {267, {}, {}}; }
Failure MemoryShort() { return {8, {}, {}}; }
bool IsMemoryShort(const Failure& failure) { return failure.code == 8; }

// As POSIX reports: the system's reason, else the library's, else the given one.
bool ReportsFailures() { return true; }
std::string SystemReason(int code) { return "error " + std::to_string(code); }
void ErrorWrite(const std::string& line) { State().errors += line; }

Language MessageLanguage() {
  return State().englishMessages ? Language::English : Language::Japanese;
}

// The fake's current folder is a field of its state, read for nothing.
CurrentFolderReading::CurrentFolderReading() = default;
CurrentFolderReading::~CurrentFolderReading() = default;

unsigned FullPathName(const char* path, char* out, unsigned outSize) {
  return ComposeFullPath(path, State().currentDir.c_str(), out, outSize);
}

bool LookupEntry(const char* path, DirEntry* entry, Failure* failure) {
  ++State().lookups;
  if (fake::CallFails(fake::CallLookup, failure)) return false;
  std::string text(path);
  if (text.empty() || fake::EndsWithSeparator(text)) return false;
  auto it = State().entries.find(fake::Key(text));
  if (it == State().entries.end()) return false;
  entry->isFolder = it->second.isFolder;
  entry->isSpecial = it->second.special;
  entry->isLink = it->second.link;
  entry->isDangling = it->second.dangling;
  entry->size = it->second.dangling || it->second.special ? 0
                : it->second.reportedSize != UINT64_MAX   ? it->second.reportedSize
                                                          : fake::Size(it->second);
  std::snprintf(entry->storedName, sizeof entry->storedName, "%s", it->second.storedName.c_str());
  return true;
}

// No links here: one file, one name.
bool SameFile(const char* a, const char* b) {
  std::string key = fake::Key(a);
  return key == fake::Key(b) && State().entries.count(key) != 0;
}

// The handle only says whether resolving the folder worked: the fake's
// paths are resolved whole, with the same results either way.
Folder::Folder(const char* filePath)
    : handle_(fake::CallFails(fake::CallFolder) ? -1 : 0),
      nativePrefix_(filePath, static_cast<std::size_t>(LastElement(filePath) - filePath)) {}

Folder::~Folder() = default;

bool LookupEntry(const Folder& folder, const char* element, DirEntry* entry, Failure*) {
  return LookupEntry((folder.NativePrefix() + element).c_str(), entry);
}

namespace {
std::uint64_t NewId();
}  // namespace

// No symbolic links here; two entries share an id only where a test makes
// them hard links of one file.
bool IdentityOf(const Folder& folder, const char* element, FileIdentity* identity, bool* soleName) {
  ++State().lookups;
  if (fake::CallFails(fake::CallLookup)) return false;
  auto it = State().entries.find(fake::Key(folder.NativePrefix() + element));
  if (it == State().entries.end() || it->second.isFolder) return false;
  if (it->second.id == 0) it->second.id = NewId();
  *identity = {0, it->second.id};
  if (soleName != nullptr) {
    const std::uint64_t id = it->second.id;
    *soleName = std::count_if(State().entries.begin(), State().entries.end(),
                              [id](const auto& entry) { return entry.second.id == id; }) == 1;
  }
  return true;
}

// The fake folds single-byte letters only, as its keys do.
bool SameElement(const std::string& a, const std::string& b) {
  return fake::UpperCase(a) == fake::UpperCase(b);
}

bool RemoveFile(const Folder& folder, const char* element, Failure* failure) {
  if (fake::CallFails(fake::CallRemove, failure)) return false;
  auto it = State().entries.find(fake::Key(folder.NativePrefix() + element));
  if (element[0] == '\0' || it == State().entries.end() || it->second.isFolder) return false;
  State().entries.erase(it);
  return true;
}

Removal RemoveUnlessInUse(const Folder& folder, const char* element, Failure* failure) {
  if (fake::CallFails(fake::CallRemove, failure)) return Removal::Failed;
  auto it = State().entries.find(fake::Key(folder.NativePrefix() + element));
  if (element[0] == '\0' || it == State().entries.end()) return Removal::Gone;
  if (it->second.isFolder) {
    fake::NoteCode(failure, 5);
    return Removal::Failed;
  }
  if (it->second.heldByOther && !it->second.link) return Removal::InUse;
  State().entries.erase(it);
  return Removal::Removed;
}

bool FreeSpace(const Folder&, std::uint64_t* bytes) {
  if (fake::CallFails(fake::CallSpace)) return false;
  *bytes = State().freeSpace;
  return true;
}

void GuardTemporary(const Folder& folder, const char* element) {
  State().guarded = fake::Key(folder.NativePrefix() + element);
}

void UnguardTemporary() { State().guarded.clear(); }

bool CommitTemporary(const Folder& folder, const char* from, const char* to, bool replace,
                     Failure* failure) {
  if (!replace && State().entries.count(fake::Key(folder.NativePrefix() + to)) != 0) {
    fake::NoteCode(failure, fake::FileExistsCode);
    return false;
  }
  if (!RenameFile(folder, from, to, failure)) return false;
  State().guarded.clear();
  return true;
}

bool NameTaken(const Failure& failure) {
  return failure.code == fake::FileExistsCode || failure.code == 183;
}

bool RenameFile(const Folder& folder, const char* from, const char* to, Failure* failure) {
  if (fake::CallFails(fake::CallRename, failure)) return false;
  auto& entries = State().entries;
  const std::string toKey = fake::Key(folder.NativePrefix() + to);
  auto source = entries.find(fake::Key(folder.NativePrefix() + from));
  if (from[0] == '\0' || to[0] == '\0' || source == entries.end() || source->second.isFolder) {
    return false;
  }
  auto target = entries.find(toKey);
  if (target != entries.end() && target->second.isFolder) return false;
  fake::Entry moved = source->second;
  entries.erase(source);
  std::string full, fullParent;
  fake::FullPath(folder.NativePrefix() + to, &full);
  fake::SplitKey(full, &fullParent, &moved.storedName);
  entries[toKey] = moved;
  return true;
}

bool ListFiles(const Folder& folder,
               const std::function<void(const char* name, bool plain)>& each) {
  if (folder.Handle() == -1 || fake::CallFails(fake::CallList)) return false;
  const std::string& prefix = folder.NativePrefix();
  const std::string folderKey = fake::Key(prefix.empty() ? State().currentDir : prefix);
  for (const auto& [key, entry] : State().entries) {
    std::string parent, name;
    fake::SplitKey(key, &parent, &name);
    const bool inFolder = parent == folderKey || parent + "\\" == folderKey;
    if (inFolder && !entry.isFolder && !entry.special) each(entry.storedName.c_str(), !entry.link);
  }
  return true;
}

bool MakeFolder(const char* path, Failure* failure) {
  if (fake::CallFails(fake::CallMakeFolder, failure)) return false;
  std::string key = fake::Key(path);
  std::string parent, name;
  fake::SplitKey(key, &parent, &name);
  if (key.empty() || State().entries.count(key) != 0) return false;
  if (!fake::IsFolderKey(parent) && !fake::IsFolderKey(parent + "\\")) return false;
  std::string full;
  fake::FullPath(path, &full);
  std::string fullParent, storedName;
  fake::SplitKey(fake::WithoutSeparator(full), &fullParent, &storedName);
  State().entries[key] = fake::Entry{true, storedName, std::string(), UINT64_MAX};
  State().madeFolders.push_back(path);
  return true;
}

bool VolumeReady(const char* path, Failure*) {
  ++State().volumeQueries;
  std::string key = fake::Key(path);
  if (key.size() >= 2 && key[1] == ':') return State().readyDrives.count(key[0]) != 0;
  std::string share = fake::WithoutSeparator(key);
  return State().shares.count(share) != 0;
}

namespace {

std::uint64_t NewId() {
  static std::uint64_t next = 1;
  return next++;
}

}  // namespace

FileId FileOpen(const char* path, OpenMode mode, OpenedFiles* files, std::uint64_t* size,
                Failure* failure) {
  if (fake::CallFails(fake::CallOpen, failure)) return InvalidFile;
  std::string text(path);
  if (text.empty()) return InvalidFile;
  std::string key = fake::Key(text);
  const bool creating = mode == OpenMode::CreateNew || mode == OpenMode::Temporary;
  const bool writing = creating || mode == OpenMode::Replace || mode == OpenMode::Overwrite;
  if (writing && !State().appearsBeforeCreate.empty() &&
      fake::Key(State().appearsBeforeCreate) == key) {
    fake::AddFile(State().appearsBeforeCreate, "another program's");
    State().appearsBeforeCreate.clear();
  }
  auto it = State().entries.find(key);
  if (creating && it != State().entries.end()) {
    fake::NoteCode(failure, fake::FileExistsCode);
    return InvalidFile;
  }
  if (it != State().entries.end() && (it->second.isFolder || it->second.special)) {
    return InvalidFile;
  }
  // A link is replaced itself, never written through; one that points
  // nowhere has nothing to read.
  if (it != State().entries.end() && it->second.link && writing) {
    if (files != nullptr && files->Holds({0, it->second.id})) return InvalidFile;
    State().entries.erase(it);
    it = State().entries.end();
  }
  if (it != State().entries.end() &&
      (it->second.dangling || (mode == OpenMode::Hold && it->second.link))) {
    return InvalidFile;
  }
  if (it != State().entries.end() && it->second.heldByOther && mode != OpenMode::Probe) {
    fake::NoteCode(failure, 33);  // ERROR_LOCK_VIOLATION
    return InvalidFile;
  }
  if (writing) {
    if (it != State().entries.end() && files != nullptr && files->Holds({0, it->second.id})) {
      return InvalidFile;
    }
    std::string parent, name;
    fake::SplitKey(key, &parent, &name);
    if (!fake::IsFolderKey(parent) && !fake::IsFolderKey(parent + "\\")) return InvalidFile;
    if (it == State().entries.end()) {
      if (State().noCreateFolders.count(parent) != 0) {
        fake::NoteCode(failure, 5);  // ERROR_ACCESS_DENIED
        return InvalidFile;
      }
      std::string full;
      fake::FullPath(text, &full);
      std::string fullParent, storedName;
      fake::SplitKey(full, &fullParent, &storedName);
      it = State()
               .entries.emplace(key, fake::Entry{false, storedName, std::string(), UINT64_MAX, 0})
               .first;
      if (mode == OpenMode::Temporary) it->second.mode = 0600;
    }
    // The lock comes after the create, as on POSIX: a refused one leaves
    // the new file behind.
    if (fake::CallFails(fake::CallLock, failure)) return InvalidFile;
    if (mode == OpenMode::Overwrite) {
      if (size != nullptr) *size = fake::Size(it->second);
    } else {
      it->second.data.clear();
      it->second.zeros = 0;
    }
    it->second.reportedSize = UINT64_MAX;
  } else if (it == State().entries.end()) {
    fake::NoteCode(failure, 2);
    return InvalidFile;
  } else if (mode == OpenMode::Hold && fake::CallFails(fake::CallLock, failure)) {
    return InvalidFile;
  }
  if (it->second.id == 0) it->second.id = NewId();
  if (size != nullptr && mode == OpenMode::Read) {
    *size =
        it->second.reportedSize != UINT64_MAX ? it->second.reportedSize : fake::Size(it->second);
  }
  if (files != nullptr && !creating) files->Add({0, it->second.id});
  static FileId next = 100;
  FileId id = next++;
  fake::OpenFiles()[id] = fake::OpenFile{key,
                                         writing                  ? 'w'
                                         : mode == OpenMode::Read ? 'r'
                                                                  : 'p',
                                         0};
  ++State().openFiles;
  return id;
}

FileId FileOpen(const Folder& folder, const char* element, OpenMode mode, OpenedFiles* files,
                std::uint64_t* size, Failure* failure) {
  return FileOpen((folder.NativePrefix() + element).c_str(), mode, files, size, failure);
}

namespace {

fake::Entry* EntryOf(FileId file) {
  auto it = fake::OpenFiles().find(file);
  if (it == fake::OpenFiles().end()) return nullptr;
  auto entry = State().entries.find(it->second.key);
  return entry == State().entries.end() ? nullptr : &entry->second;
}

}  // namespace

bool ReplaceableByNewFile(FileId file) {
  // A look that fails cannot vouch for the file: it is written in place.
  if (fake::CallFails(fake::CallLookup)) return false;
  const fake::Entry* entry = EntryOf(file);
  if (entry == nullptr || entry->extraAttributes) return false;
  const std::uint64_t id = entry->id;
  return std::count_if(State().entries.begin(), State().entries.end(),
                       [id](const auto& other) { return other.second.id == id; }) == 1;
}

bool UsualAccess(FileId file, Failure* failure) {
  if (fake::CallFails(fake::CallWrite, failure)) return false;
  fake::Entry* entry = EntryOf(file);
  if (entry == nullptr) return false;
  entry->mode = 0644;
  return true;
}

bool CopyAccess(FileId from, FileId to, Failure* failure) {
  if (fake::CallFails(fake::CallWrite, failure)) return false;
  const fake::Entry* source = EntryOf(from);
  fake::Entry* target = EntryOf(to);
  if (source == nullptr || target == nullptr) return false;
  target->mode = source->mode;
  return true;
}

void FileClose(FileId file) {
  if (fake::OpenFiles().erase(file) != 0) --State().openFiles;
}

std::uint32_t FileRead(FileId file, void* buffer, std::uint32_t count, Failure* failure) {
  if (fake::CallFails(fake::CallRead, failure)) return 0;
  auto it = fake::OpenFiles().find(file);
  if (it == fake::OpenFiles().end() || it->second.mode != 'r') return 0;
  const fake::Entry& entry = State().entries[it->second.key];
  const std::uint64_t at = it->second.position, end = fake::Size(entry);
  const std::uint64_t n = std::min<std::uint64_t>(count, at < end ? end - at : 0);
  const std::uint64_t zeros = at < entry.zeros ? std::min(n, entry.zeros - at) : 0;
  std::memset(buffer, 0, zeros);
  if (n > zeros) {
    std::memcpy(static_cast<char*>(buffer) + zeros, entry.data.data() + (at + zeros - entry.zeros),
                n - zeros);
  }
  it->second.position += n;
  return static_cast<std::uint32_t>(n);
}

std::uint32_t FileWrite(FileId file, const void* buffer, std::uint32_t count, Failure* failure) {
  if (fake::CallFails(fake::CallWrite, failure)) return 0;
  auto it = fake::OpenFiles().find(file);
  if (it == fake::OpenFiles().end() || it->second.mode != 'w') return 0;
  std::uint64_t n = std::min<std::uint64_t>(count, State().writeRoom);
  State().writeRoom -= State().writeRoom == UINT64_MAX ? 0 : n;
  fake::Entry& entry = State().entries[it->second.key];
  const char* bytes = static_cast<const char*>(buffer);
  const bool allZero = n >= 65536 && bytes[0] == 0 && std::memcmp(bytes, bytes + 1, n - 1) == 0;
  if (entry.data.empty() && it->second.position == entry.zeros && allZero) {
    entry.zeros += n;
  } else {
    // Data within the leading zeros would need them all in memory.
    if (it->second.position < entry.zeros) return 0;
    std::string& data = entry.data;
    const std::size_t at = std::min<std::size_t>(it->second.position - entry.zeros, data.size());
    data.replace(at, std::min<std::size_t>(n, data.size() - at), bytes, n);
  }
  it->second.position += n;
  return static_cast<std::uint32_t>(n);
}

bool FileSeekBack(FileId file, std::uint32_t count, Failure* failure) {
  if (fake::CallFails(fake::CallRead, failure)) return false;
  auto it = fake::OpenFiles().find(file);
  if (it == fake::OpenFiles().end() || it->second.position < count) return false;
  it->second.position -= count;
  return true;
}

bool FileTruncate(FileId file, std::uint64_t size, Failure* failure) {
  // A cut fails as a write would: the piece holds what it should not.
  if (fake::CallFails(fake::CallWrite, failure)) return false;
  auto it = fake::OpenFiles().find(file);
  if (it == fake::OpenFiles().end() || it->second.mode != 'w') return false;
  fake::Entry& entry = State().entries[it->second.key];
  entry.zeros = std::min(entry.zeros, size);
  entry.data.resize(size - entry.zeros);
  return true;
}

std::uint32_t FileCopy(FileId from, FileId to, std::uint32_t count) {
  std::uint32_t n = std::min(count, State().kernelCopyLimit);
  if (n == 0) return 0;
  std::string moved(n, '\0');
  // The fake's reads and writes do the moving, so faults reach it too.
  std::uint32_t got = FileRead(from, moved.data(), n);
  std::uint32_t put = FileWrite(to, moved.data(), got);
  // Like the kernel's copy, both files advance by what arrived.
  auto source = fake::OpenFiles().find(from);
  if (source != fake::OpenFiles().end()) source->second.position -= got - put;
  State().kernelCopied += put;
  return put;
}

void* HeapAllocZeroed(std::size_t size) {
  if (fake::CallFails(fake::CallAlloc)) return nullptr;
  void* block = AllocZeroedBlock(size);
  if (block != nullptr) ++State().liveBlocks;
  return block;
}

void* HeapResize(void* block, std::size_t size) {
  if (fake::CallFails(fake::CallAlloc)) return nullptr;
  return ResizeBlock(block, size);
}

void HeapRelease(void* block) {
  --State().liveBlocks;
  ReleaseBlock(block);
}

// The real library's digest, with faults: a hash that cannot be made, fed
// or finished.
// A failed hash call is memory short where the run asks for it.
namespace {
Failure HashFailure() {
  return State().hashMemoryShort ? MemoryShort() : Failure{0, std::string(), "hash failed"};
}
}  // namespace

Sha256::Sha256() {
  if (fake::CallFails(fake::CallHash)) {
    failure_ = HashFailure();
    return;
  }
  state_ = sha256_library::Open(&failure_);
}

Sha256::~Sha256() { sha256_library::Release(state_); }

bool Sha256::Update(const void* data, std::size_t size) {
  if (state_ != nullptr) {
    if (fake::CallFails(fake::CallHash)) {
      failure_ = HashFailure();
    } else if (sha256_library::Add(state_, data, size, &failure_)) {
      return true;
    }
  }
  sha256_library::Release(state_);
  state_ = nullptr;
  return false;
}

bool Sha256::Finish(Digest* digest) {
  bool done = false;
  if (state_ != nullptr) {
    if (fake::CallFails(fake::CallHash)) {
      failure_ = HashFailure();
    } else {
      done = sha256_library::Close(state_, digest, &failure_);
    }
  }
  sha256_library::Release(state_);
  state_ = nullptr;
  return done;
}

// Every task runs at once, so that a fake run's calls come in one order;
// a thread that cannot start changes nothing else either.
struct Worker::State {};
Worker::Worker() { fake::CallFails(fake::CallThread); }
Worker::~Worker() = default;
Worker::Ticket Worker::Post(std::function<void()> task) {
  task();
  return ++posted_;
}
void Worker::WaitFor(Ticket) {}
void Worker::WaitForAll() {}

Keyboard::Keyboard() {
  device_ = State().consolePresent ? 1 : InvalidFile;
  if (State().consolePresent && State().outputElsewhere) screen_ = 2;
}
Keyboard::~Keyboard() = default;

void Keyboard::Show(const std::string& text) {
  if (ShowsQuestions()) State().keyboardScreen += text;
}

bool Keyboard::KeyAvailable() { return Present() && !State().keys.empty(); }

int Keyboard::ReadKey() {
  if (State().keys.empty()) return -1;
  int code = State().keys.front();
  State().keys.pop_front();
  return code;
}

void Sleep(unsigned) {
  // A question with no scripted answer left would wait for ever.
  if (++State().sleeps > 100000) {
    std::fprintf(stderr, "fake keyboard: a question waits with no keys left\n");
    std::abort();
  }
}

}  // namespace platform
