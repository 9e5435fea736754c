#include "app/dll_search.h"

#include <windows.h>
#include "sysaccess/proc_address.h"

void RestrictDllSearchToSystemFolder() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    // KERNEL32 is in every process: GetModuleHandle loads nothing.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (!kernel32) return;
    auto setDirectories = LookUpProc<SetDefaultDllDirectoriesFn>(kernel32, "SetDefaultDllDirectories");
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
