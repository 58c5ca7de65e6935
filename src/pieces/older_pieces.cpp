#include "pieces/older_pieces.h"

#include <string>
#include <vector>

#include "app/output.h"
#include "app/questions.h"
#include "pieces/checksum_side.h"
#include "text/texts.h"

namespace pieces {

using app::Fail;

// Pieces numbered above this division's belong to an older set: joined
// with the new ones they would give a wrong file, and so does a checksum
// file this division did not write. They go after one question (/Y:
// without it; the answer A agreed to replacing, not to deleting what was
// never shown), each only once no other program holds it. False when they
// stay for want of an answer, or one could not be deleted.
bool RemoveOlderPieces(const PieceNamer& names, int count, bool checksumWritten, bool yes) {
  std::vector<std::string> stale;
  for (int n : PiecesAbove(names, count)) stale.push_back(names.Element(n));
  const std::string checksumElement = ChecksumElement(names);
  const bool oldChecksum = !checksumWritten && names.Place().FileExists(checksumElement);
  if (stale.empty() && !oldChecksum) return true;
  const path::Place& place = names.Place();
  if (!yes) {
    const std::string& named = stale.empty() ? checksumElement : stale.front();
    const app::YesNo answer = app::AskYesNo({{text::AskDeleteStale, place.ShownOf(named)}});
    if (answer == app::YesNo::No) {
      app::Print(text::StaleKept, place.ShownOf(named));
      return true;
    }
    // Without a console nobody chose to keep them: a script must notice.
    if (answer == app::YesNo::NoConsole) {
      app::PrintFailure(text::StaleKept, place.ShownOf(named), {}, text::ReasonNoOneToAsk);
      return false;
    }
  }
  // Past a failure the rest still go: each one left is a wrong join less.
  bool allGone = true;
  const auto remove = [&](const std::string& element) {
    const path::Place::Removed removal = place.RemoveUnlessInUse(element);
    switch (removal.result) {
      case platform::Removal::Removed:
      case platform::Removal::Gone:
        return true;
      case platform::Removal::InUse:
        app::Print(text::StaleInUse, place.ShownOf(element));
        break;
      case platform::Removal::Failed:
        app::PrintFailure(text::StaleDeleteFailed, place.ShownOf(element), removal.failure);
        break;
    }
    allGone = false;
    return false;
  };
  std::vector<std::string> removed;
  for (const std::string& element : stale) {
    if (remove(element)) removed.push_back(element);
  }
  if (!removed.empty()) {
    app::Print(text::StaleDeleted, place.ShownOf(removed.front()), place.ShownOf(removed.back()));
  }
  if (oldChecksum && remove(checksumElement)) {
    app::Print(text::StaleChecksumDeleted, place.ShownOf(checksumElement));
  }
  return allGone;
}

// Piece 1 of an older set goes before anything of this division is
// written, once the user allowed replacing it: false when it stays.
bool RemoveOldFirstPiece(const path::Place& place, const std::string& element) {
  const path::Place::Removed removal = place.RemoveUnlessInUse(element);
  if (removal.result == platform::Removal::Removed || removal.result == platform::Removal::Gone) {
    return true;
  }
  return Fail(text::FileOpenFailed, place.ShownOf(element), removal.failure);
}

}  // namespace pieces
