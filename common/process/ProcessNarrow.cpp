// The system-code-page build of the process toolkit (Norvane).
#include "common/process/ProcessToolkitImpl.h"

namespace proctool {
PROCTOOL_INSTANTIATE(char)
}  // namespace proctool
