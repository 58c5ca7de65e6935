#include "pieces/pending_file.h"

#include "app/output.h"
#include "pieces/overwrite.h"
#include "text/texts.h"

namespace pieces {

std::string UnfinishedElement(const std::string& element, int n) {
  return element + ".unfinished-" + std::to_string(n);
}

PendingFile::Created PendingFile::Create(const std::string& element) {
  Discard();
  for (int n = 1; n <= UnfinishedNames; ++n) {
    const std::string candidate = UnfinishedElement(element, n);
    if (!place_.Fits(candidate)) return Created::TooLong;
    if (place_.Open(file_, candidate, platform::OpenMode::Temporary) != platform::InvalidFile) {
      element_ = candidate;
      place_.GuardTemporary(element_);
      return Created::Yes;
    }
    failure_ = file_.LastFailure();
    // Anything at the name, a FIFO or a link pointing nowhere too, is
    // someone else's: the next name is tried. A plain file there that the
    // create did not call taken is one it made and could not lock.
    platform::DirEntry entry;
    const bool taken =
        path::NameTaken(failure_) ||
        (place_.Lookup(candidate, &entry) && (entry.isFolder || entry.isSpecial || entry.isLink));
    if (!taken) return Created::Failed;
  }
  return Created::AllTaken;
}

void PendingFile::ReportNotCreated() const {
  const std::string& folder = place_.Typed();
  app::PrintFailure(text::TemporaryCreateFailed, folder.empty() ? ".\\" : folder.c_str(), failure_);
}

bool PendingFile::GiveAccess(const path::FileHandle* held) {
  const bool given =
      held != nullptr && held->IsOpen() ? file_.CopyAccessFrom(*held) : file_.GiveUsualAccess();
  if (!given) failure_ = file_.LastFailure();
  return given || app::Fail(text::FileWriteFailed, place_.ShownOf(element_), failure_);
}

PendingFile::Named PendingFile::TakeName(const std::string& element, bool replace,
                                         app::RunState& state) {
  file_.Close();
  const auto commit = [&](bool replacing) {
    if (!place_.CommitTemporary(element_, element, replacing, &failure_)) {
      return false;
    }
    element_.clear();
    return true;
  };
  if (commit(replace)) return Named::Yes;
  if (!replace && path::NameTaken(failure_)) {
    platform::DirEntry entry;
    const bool file = place_.Lookup(element, &entry) && !entry.isFolder && !entry.isSpecial;
    if (file && CheckWriteTarget(place_, element, state) == WriteTarget::Stop) {
      return Named::Stopped;
    }
    if (file && commit(true)) return Named::Yes;
  }
  const app::Subject from(place_.ShownOf(element_));
  app::Print(text::TemporaryRenameFailed, from, place_.ShownOf(element));
  app::ReportFailure(
      from, app::FailureReason(text::TemporaryRenameFailed, from, nullptr, place_.ShownOf(element)),
      failure_);
  return Named::Failed;
}

void PendingFile::Discard() {
  file_.Close();
  if (element_.empty()) return;
  place_.RemoveTemporary(element_);
  element_.clear();
}

}  // namespace pieces
