// COMCTL32's initialisation calls. The controls themselves are not
// modelled (the program creates none); what is kept is which call the
// program made with which classes, for tests to check.
#include <commctrl.h>

#include <string>

#include "winsim/machine.h"

namespace {

// The program calls these functions through its import table. If the
// COMCTL32 its activation context picks does not export one, Windows would
// not have started the program at all.
bool exported(winsim::Machine& m, const char* name) {
    winsim::DllInfo* comctl32 = m.modules.findDll("COMCTL32.DLL");
    if (comctl32 && m.modules.exportOf(*comctl32, name, m.system)) return true;
    winsim::notImplemented(std::string("a call of ") + name +
                           " through the import table, which this COMCTL32 does not export (Windows would "
                           "refuse to start the program)");
    return false;
}

}  // namespace

void WINAPI InitCommonControls(void) {
    winsim::Machine& m = winsim::current();
    if (!exported(m, "InitCommonControls")) return;
    ++m.modules.commonControls.initCommonControlsCalls;
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    winsim::Machine& m = winsim::current();
    if (!exported(m, "InitCommonControlsEx")) return FALSE;
    if (DWORD e = m.faults.check("InitCommonControlsEx")) {
        m.lastError = e;
        return FALSE;
    }
    if (!picce) {
        m.modules.commonControls.initCommonControlsExCalls.push_back(winsim::CommonControlsInit{0, 0, FALSE});
        return FALSE;
    }
    // COMCTL32 refuses a structure of any other size; it leaves the last
    // error alone (as Wine does; the documentation says only FALSE).
    const BOOL result = picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
    m.modules.commonControls.initCommonControlsExCalls.push_back(
        winsim::CommonControlsInit{picce->dwSize, picce->dwICC, result});
    // The effect of successive calls adds up.
    if (result) m.modules.commonControls.registeredClasses |= picce->dwICC;
    return result;
}
