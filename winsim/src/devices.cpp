#include "winsim/devices.h"

namespace winsim {
Devices::Devices(Registry& registry) : registry_(registry) {}
}  // namespace winsim
