#include "path/place.h"

#include "path/path_rules.h"
#include "platform/common/path_text.h"

namespace path {

std::string Place::FullForm(const std::string& typed) {
  char full[text::PathCapacity];
  const unsigned length =
      platform::FullPathName(typed.empty() ? "." : typed.c_str(), full, platform::PathLimit());
  if (length == 0 || length >= platform::PathLimit()) return std::string();
  std::string folder(full, length);
  if (!platform::EndsWithSeparator(folder.c_str())) folder += '\\';
  return folder;
}

Place::Place(const std::string& typed) : Place(typed, FullForm(typed)) {}

Place::Place(const std::string& typed, const std::string& full)
    : typed_(typed), full_(full), folder_(std::make_shared<platform::Folder>(full_.c_str())) {}

Place::Place(const std::string& typed, const Place& same)
    : typed_(typed), full_(same.full_), folder_(same.folder_) {}

bool Place::FitsIn(const std::string& full, const std::string& element) {
  return !full.empty() && !element.empty() && full.size() + element.size() < platform::PathLimit();
}

bool Place::Fits(const std::string& element) const { return FitsIn(full_, element); }

std::string Place::PathOf(const std::string& element) const {
  return Fits(element) ? full_ + element : std::string();
}

Shown Place::ShownOf(const std::string& element) const { return {typed_, element}; }

bool Place::Lookup(const std::string& element, platform::DirEntry* entry) const {
  // The full form still passes the path rules: Windows would reach another
  // file through a name they refuse (x. as x).
  return Fits(element) && IsValidPath(PathOf(element).c_str()) &&
         platform::LookupEntry(*folder_, element.c_str(), entry);
}

bool Place::FileExists(const std::string& element) const {
  platform::DirEntry entry;
  return Lookup(element, &entry) && !entry.isFolder && !entry.isSpecial;
}

bool Place::Exists(const std::string& element) const {
  platform::DirEntry entry;
  return Lookup(element, &entry) && (entry.isFolder || !entry.isSpecial);
}

bool Place::FitsAsTyped(const std::string& element) const {
  return Fits(element) && typed_.size() + element.size() < platform::PathLimit();
}

bool Place::IdentityOf(const std::string& element, platform::FileIdentity* identity,
                       bool* soleName) const {
  return platform::IdentityOf(*folder_, element.c_str(), identity, soleName);
}

bool Place::ListFiles(const std::function<void(const char* name, bool plain)>& each) const {
  return platform::ListFiles(*folder_, each);
}

bool Place::FreeSpace(std::uint64_t* bytes) const { return platform::FreeSpace(*folder_, bytes); }

Done Place::Open(FileHandle& file, const std::string& element, platform::OpenMode mode,
                 platform::OpenedFiles* files) const {
  return file.Open(*folder_, element, PathOf(element), mode, files);
}

Done Place::Remove(const std::string& element) const {
  Done done;
  done.ok = platform::RemoveFile(*folder_, element.c_str(), &done.failure);
  return done;
}

Place::Removed Place::RemoveUnlessInUse(const std::string& element) const {
  Removed removed{platform::Removal::Failed, {}};
  removed.result = platform::RemoveUnlessInUse(*folder_, element.c_str(), &removed.failure);
  return removed;
}

void Place::GuardTemporary(const std::string& element) const {
  platform::GuardTemporary(*folder_, element.c_str());
}

Done Place::CommitTemporary(const std::string& element, const std::string& to, bool replace) const {
  Done done;
  done.ok =
      platform::CommitTemporary(*folder_, element.c_str(), to.c_str(), replace, &done.failure);
  return done;
}

void Place::RemoveTemporary(const std::string& element) const {
  platform::RemoveFile(*folder_, element.c_str());
  platform::UnguardTemporary();
}

bool Place::SameElement(const std::string& a, const std::string& b) {
  return platform::SameElement(a, b);
}

bool Place::IgnoresCase() { return platform::Naming() == platform::NamingRules::Windows; }

}  // namespace path
