#include "pieces/overwrite.h"

#include "app/questions.h"
#include "app/run_options.h"
#include "path/path_rules.h"

namespace pieces {

WriteTarget CheckWriteTarget(const path::Place& place, const std::string& element,
                             app::RunState& state) {
  if (state.overwriteAll) return WriteTarget::Replace;
  if (!place.Exists(element)) return WriteTarget::New;
  switch (app::AskOverwrite(element.c_str())) {
    case app::AnswerAll:
      state.overwriteAll = true;
      return WriteTarget::Replace;
    case app::AnswerYes:
      return WriteTarget::Replace;
    default:
      return WriteTarget::Stop;
  }
}

WriteOpened OpenToWrite(path::FileHandle& file, const path::Place& place,
                        const std::string& element, WriteTarget target, app::RunState& state,
                        platform::OpenedFiles* files, const std::function<bool()>& clashes,
                        platform::OpenMode replacing) {
  if (target == WriteTarget::Stop) return {WriteOpen::Stopped, {}};
  const std::string name = place.PathOf(element);
  // Windows would open such a name as another one (x. as x), which the
  // question never named.
  if (!path::IsValidPath(name.c_str())) return {WriteOpen::Failed, {}};
  if (target == WriteTarget::New) {
    const path::Done created = place.Open(file, element, platform::OpenMode::CreateNew);
    if (created) return {WriteOpen::Opened, {}};
    // Still nothing there: the create failed for a reason of its own.
    if (!place.Exists(element)) return {WriteOpen::Failed, created.failure};
    if (CheckWriteTarget(place, element, state) == WriteTarget::Stop) {
      return {WriteOpen::Stopped, {}};
    }
  }
  if (clashes && clashes()) return {WriteOpen::Failed, {}};
  const path::Done replaced = place.Open(file, element, replacing, files);
  return {replaced ? WriteOpen::Replaced : WriteOpen::Failed, replaced.failure};
}

}  // namespace pieces
