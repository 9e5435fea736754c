#include "removal/device_metadata_removal.h"

#include <windows.h>

#include "app/messages.h"
#include "install/device_metadata.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
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

// The attributes stay as they are: DeleteFileA refuses a read-only
// package, which then stays in the store.
void LogWouldRemovePackage(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        LogExpectedFailure(path, "read-only: it stays in the store");
    else
        LogWouldDeleteFile("metadata package removed", path);
}

}  // namespace

int RemoveDeviceMetadata() {
    char store[kPathBufferSize] = {};
    if (!GetMetadataStoreDir(store)) return 0;
    if (!AddBackslash(store, kPathBufferSize)) return 0;

    for (UINT id : kMetadataPackageIds) {
        char path[kPathBufferSize] = {};
        // A directory of that name is neither the package nor removed.
        if (!PackagePath(store, id, path) || !IsFile(path)) continue;
        if (PreviewMode())
            LogWouldRemovePackage(path);
        else if (DeleteFileA(path))
            LogEvent("metadata package removed", path);
    }
    for (UINT id : kMetadataPackageIds) {
        char path[kPathBufferSize] = {};
        if (PackagePath(store, id, path) && IsFile(path) && !WouldBeGone(path)) return 0;
    }
    return 1;
}
