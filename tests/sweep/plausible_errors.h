// The error each Win32 call that the program makes plausibly fails with,
// for the sweep that fails every call of a run in turn.
//
// The code is one that Windows documents (or is known to give) for the call
// on a machine like the ones the program meets: access refused, memory
// short, a file or module missing, a file in use, an invalid argument or
// handle. A call that gives something back (a handle, memory, a library
// reference, a SID) can only fail by keeping it: the sweep then allows that
// one item to stay behind.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "winsim/handles.h"

namespace sweep {

// What a failed release call may leave behind.
enum class Keeps {
    Nothing,
    Handle,       // one handle of a kind in `handleKinds`
    LocalMemory,  // one LocalAlloc block
    Library,      // one LoadLibrary reference
    Sid,          // one SID from AllocateAndInitializeSid
};

struct PlausibleFault {
    DWORD error;
    Keeps keeps = Keeps::Nothing;
    std::vector<winsim::HandleKind> handleKinds;
};

// The fault for a call by its name as winsim counts it, or null for a call
// the table does not know yet (the sweep fails rather than guess).
const PlausibleFault* FaultFor(const std::string& api);

}  // namespace sweep
