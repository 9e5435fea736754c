#include "winsim/registry.h"

namespace winsim {
Registry::Registry() {}
}  // namespace winsim
