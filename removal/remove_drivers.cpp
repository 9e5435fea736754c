#include "removal/remove_drivers.h"

// The removal steps are not built yet: the sequence does nothing so far.
int RemoveDrivers(int /*osCode*/) { return 1; }
