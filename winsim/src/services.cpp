#include "winsim/services.h"

namespace winsim {
Services::Services(Registry& registry) : registry_(registry) {}
}  // namespace winsim
