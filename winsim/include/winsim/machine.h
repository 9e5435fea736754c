// winsim::Machine: the simulated Windows PC that the native build runs on.
//
// A test builds a Machine (which becomes the current machine for every
// Win32 call made while it lives), seeds it through the area objects below,
// runs product code, and inspects the same objects afterwards. Each area is
// declared in a header of its own; this file only composes them.
#pragma once

#include <string>
#include <vector>

#include "winsim/devices.h"
#include "winsim/driver_store.h"
#include "winsim/faults.h"
#include "winsim/file_system.h"
#include "winsim/handles.h"
#include "winsim/known_folders.h"
#include "winsim/modules.h"
#include "winsim/processes.h"
#include "winsim/registry.h"
#include "winsim/services.h"
#include "winsim/system_info.h"
#include "winsim/token.h"
#include "winsim/ui.h"

namespace winsim {

class Machine {
public:
    // A Windows 7 SP1 x64 workstation, code page 1252, run by a member of
    // the Administrators group, with drive C: and the usual Windows folders.
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    SystemInfo system;
    Token token;
    Registry registry;
    FileSystem files;
    Modules modules;
    Ui ui;
    Devices devices{registry};
    Services services{registry};
    DriverStore driverStore{system};
    Processes processes{files};
    KnownFolders knownFolders{files, system};
    HandleTable handles;
    Faults faults;

    // The thread's last-error value (the product is single-threaded).
    DWORD lastError = 0;

    // Calls that reached a behaviour winsim does not model. Each also failed
    // with ERROR_CALL_NOT_IMPLEMENTED; a test fixture asserts this is empty.
    std::vector<std::string> unimplemented;

private:
    Machine* previous_;
};

// The machine that Win32 calls act on. Aborts when no machine exists: a
// Win32 call outside a test's machine is a bug in the test.
Machine& current();

// Records a call that winsim does not model and sets ERROR_CALL_NOT_IMPLEMENTED.
void notImplemented(const std::string& what);

}  // namespace winsim
