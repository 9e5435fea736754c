#include "winsim/driver_store.h"

namespace winsim {
DriverStore::DriverStore() {}
}  // namespace winsim
