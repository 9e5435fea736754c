// Functions looked up at run time, for those that older Windows lack or
// whose DLL must not be imported.
#pragma once

#include <windows.h>

// The export `name` of `module` as a pointer of type Fn, or null. The
// detour through void* keeps the function-type conversion warning-free.
template <class Fn>
Fn LookUpProc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
