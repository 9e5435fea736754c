#include "winsim/processes.h"

namespace winsim {
Processes::Processes() {}
}  // namespace winsim
