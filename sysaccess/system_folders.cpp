#include "sysaccess/system_folders.h"

#include <windows.h>

#include <initializer_list>

#include "res/resource.h"
#include "sysaccess/path_text.h"

namespace {

// The Windows folder followed by the given path fragments, each a resource
// string that begins with a backslash.
int BuildWindowsSubfolder(char* out, std::initializer_list<UINT> fragments) {
    char path[kPathBufferSize] = {};
    const UINT length = GetWindowsDirectoryA(path, kPathBufferSize);
    if (length == 0 || length >= static_cast<UINT>(kPathBufferSize)) return 0;
    for (UINT fragment : fragments) {
        // A fragment that does not load would leave the path naming the
        // folder above it (the Windows folder itself), one cut short another
        // folder: either is refused.
        if (!AppendResStringWhole(fragment, path, kPathBufferSize)) return 0;
    }
    lstrcpyA(out, path);
    return 1;
}

}  // namespace

int GetDriversDir(char* out) { return BuildWindowsSubfolder(out, {IDS_PATH_DRIVERS}); }

int GetLastGoodDriversDir(char* out) { return BuildWindowsSubfolder(out, {IDS_PATH_LASTGOOD, IDS_PATH_DRIVERS}); }

int GetInfDir(char* out) { return BuildWindowsSubfolder(out, {IDS_PATH_INF}); }

int GetLastGoodInfDir(char* out) { return BuildWindowsSubfolder(out, {IDS_PATH_LASTGOOD, IDS_PATH_INF}); }
