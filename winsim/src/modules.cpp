#include "winsim/modules.h"

namespace winsim {
Modules::Modules() {}
}  // namespace winsim
