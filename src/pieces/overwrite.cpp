#include "pieces/overwrite.h"

#include "app/questions.h"
#include "app/run_options.h"
#include "path/file_system.h"

namespace pieces {

bool MayOverwrite(const char* name) {
  app::RunOptions& options = app::g_runOptions;
  if (options.overwriteAll || !path::PathExists(name)) return true;
  switch (app::AskOverwrite(name)) {
    case app::AnswerAll:
      options.overwriteAll = true;
      return true;
    case app::AnswerYes:
      return true;
    default:
      return false;
  }
}

}  // namespace pieces
