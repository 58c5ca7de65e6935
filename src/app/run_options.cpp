#include "app/run_options.h"

namespace app {

RunOptions g_runOptions;

}  // namespace app
