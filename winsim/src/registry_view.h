// The registry views of 64-bit Windows: which key a path names for the
// view a registry call works in.
#pragma once

#include <windows.h>

#include "winsim/machine.h"

namespace winsim {

// Rewrites `path` (the whole path of the key a call names) into the key it
// reaches in the view that `sam` and the current process select. Returns
// ERROR_SUCCESS, or the error the registry function reports for the view
// flags; a path whose view rules winsim does not model fails loudly.
LONG applyRegistryView(const Machine& m, REGSAM sam, RegPath& path);

}  // namespace winsim
