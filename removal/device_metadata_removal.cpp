#include "removal/device_metadata_removal.h"

#include <windows.h>

#include "app/messages.h"
#include "install/device_metadata.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"
#include "sysaccess/run_log.h"

namespace {

// Puts the package's path in the store into `path`; false when its name
// does not load or the path does not fit MAX_PATH (no ANSI call could
// reach such a file).
bool PackagePath(const char* store, UINT id, char* path) {
    char name[kPathBufferSize] = {};
    if (LoadResString(id, name, sizeof(name)) == 0 || name[0] == '\0') return false;
    return CopyStringLimited(path, store, kPathMaxChars) && AppendStringLimited(path, name, kPathMaxChars);
}

}  // namespace

int RemoveDeviceMetadata() {
    char store[kPathBufferSize] = {};
    if (!GetMetadataStoreDir(store)) return 0;
    if (!AddBackslash(store, kPathBufferSize)) return 0;

    for (UINT id : kMetadataPackageIds) {
        char path[kPathBufferSize] = {};
        // A directory of that name is neither the package nor removed.
        if (PackagePath(store, id, path) && IsFile(path) && DeleteFileA(path))
            LogEvent("metadata package removed", path);
    }
    for (UINT id : kMetadataPackageIds) {
        char path[kPathBufferSize] = {};
        if (PackagePath(store, id, path) && IsFile(path)) return 0;
    }
    return 1;
}
