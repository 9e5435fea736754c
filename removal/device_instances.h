// Removes every device instance that Plug and Play created for one of the
// phone's hardware IDs, connected or not, through the class installer.
#pragma once

#include <windows.h>

// `hardwareIdString` is the string ID of a hardware ID without the bus
// prefix. Returns 1 if at least one instance was removed, else 0.
int RemoveDeviceInstances(UINT hardwareIdString);
