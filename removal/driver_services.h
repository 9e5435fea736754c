// Deletes the kernel service of one of the phone's drivers.
#pragma once

#include <windows.h>

// Returns non-zero when the service control manager was opened and its
// handle closed without error, whether or not the service existed.
int DeleteDriverService(UINT serviceNameString);
