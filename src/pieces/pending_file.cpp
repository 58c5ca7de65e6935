#include "pieces/pending_file.h"

#include "app/output.h"
#include "pieces/overwrite.h"
#include "text/texts.h"

namespace pieces {

std::string UnfinishedElement(const std::string& element, int n) {
  return element + ".unfinished-" + std::to_string(n);
}

PendingFile::Creation PendingFile::Create(const std::string& element) {
  Discard();
  platform::Failure failure;
  for (int n = 1; n <= UnfinishedNames; ++n) {
    const std::string candidate = UnfinishedElement(element, n);
    if (!place_.Fits(candidate)) return {Created::TooLong, failure};
    path::Done created = place_.Open(file_, candidate, platform::OpenMode::Temporary);
    if (created) {
      element_ = candidate;
      place_.GuardTemporary(element_);
      return {Created::Yes, {}};
    }
    failure = std::move(created.failure);
    // Anything at the name, a FIFO or a link pointing nowhere too, is
    // someone else's: the next name is tried. A plain file there that the
    // create did not call taken is one it made and could not lock.
    platform::DirEntry entry;
    const bool taken =
        path::NameTaken(failure) ||
        (place_.Lookup(candidate, &entry) && (entry.isFolder || entry.isSpecial || entry.isLink));
    if (!taken) return {Created::Failed, failure};
  }
  return {Created::AllTaken, failure};
}

void PendingFile::ReportNotCreated(const Creation& creation) const {
  const std::string& folder = place_.Typed();
  app::PrintFailure(text::TemporaryCreateFailed, folder.empty() ? ".\\" : folder.c_str(),
                    creation.failure);
}

bool PendingFile::GiveAccess(const path::FileHandle* held) {
  const path::Done given =
      held != nullptr && held->IsOpen() ? file_.CopyAccessFrom(*held) : file_.GiveUsualAccess();
  return given || app::Fail(text::FileWriteFailed, place_.ShownOf(element_), given.failure);
}

PendingFile::Named PendingFile::TakeName(const std::string& element, bool replace,
                                         app::RunState& state) {
  file_.Close();
  platform::Failure failure;
  const auto commit = [&](bool replacing) {
    path::Done committed = place_.CommitTemporary(element_, element, replacing);
    if (!committed) {
      failure = std::move(committed.failure);
      return false;
    }
    element_.clear();
    return true;
  };
  if (commit(replace)) return Named::Yes;
  if (!replace && path::NameTaken(failure)) {
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
      failure);
  return Named::Failed;
}

void PendingFile::Discard() {
  file_.Close();
  if (element_.empty()) return;
  place_.RemoveTemporary(element_);
  element_.clear();
}

}  // namespace pieces
