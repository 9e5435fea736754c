// The removal sequence: erases what earlier installations of the phone's
// drivers left behind, choosing its steps by the operating-system code.
#pragma once

// Returns non-zero for success. The entry point does not act on the result.
int RemoveDrivers(int osCode);
