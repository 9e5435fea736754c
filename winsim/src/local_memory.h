// Memory blocks of the LocalAlloc family, shared by the calls that hand the
// caller a block to free with LocalFree (FormatMessageA with
// FORMAT_MESSAGE_ALLOCATE_BUFFER).
#pragma once

#include <cstddef>

#include "winsim/machine.h"

namespace winsim {

// A fixed block of `size` bytes recorded in m.handles.localAllocations;
// zero-filled when `zeroFill`, otherwise filled with a non-zero pattern so
// that code relying on unrequested zeroes shows itself. Null when the
// memory cannot be had.
void* localAllocate(Machine& m, size_t size, bool zeroFill);

// Frees a block of this machine; false when `block` is not one.
bool localRelease(Machine& m, void* block);

}  // namespace winsim
