#include "pieces/overwrite.h"

#include "app/questions.h"
#include "app/run_options.h"
#include "path/file_system.h"
#include "path/path_rules.h"

namespace pieces {

WriteTarget CheckWriteTarget(const char* name) {
  app::RunOptions& options = app::g_runOptions;
  if (options.overwriteAll) return WriteTarget::Replace;
  if (!path::PathExists(name)) return WriteTarget::New;
  switch (app::AskOverwrite(name)) {
    case app::AnswerAll:
      options.overwriteAll = true;
      return WriteTarget::Replace;
    case app::AnswerYes:
      return WriteTarget::Replace;
    default:
      return WriteTarget::Stop;
  }
}

WriteOpen OpenToWrite(path::FileHandle& file, const char* name, WriteTarget target,
                      platform::OpenedFiles* files, const std::function<bool()>& clashes) {
  if (target == WriteTarget::Stop) return WriteOpen::Stopped;
  // Windows would open such a name as another one (x. as x), which the
  // question never named.
  if (!path::IsValidPath(name)) return WriteOpen::Failed;
  if (target == WriteTarget::New) {
    if (file.Open(name, platform::OpenMode::CreateNew) != platform::InvalidFile) {
      return WriteOpen::Opened;
    }
    // Still nothing there: the create failed for a reason of its own.
    if (!path::PathExists(name)) return WriteOpen::Failed;
    if (CheckWriteTarget(name) == WriteTarget::Stop) return WriteOpen::Stopped;
  }
  if (clashes && clashes()) return WriteOpen::Failed;
  return file.Open(name, platform::OpenMode::Replace, files) != platform::InvalidFile
             ? WriteOpen::Opened
             : WriteOpen::Failed;
}

}  // namespace pieces
