#include "removal/device_metadata_removal.h"

#include <windows.h>

#include <string>

#include "app/messages.h"
#include "app/run_log.h"
#include "install/device_metadata.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"

namespace {

// The package's path in the store, or an empty string when its name does
// not load.
std::string PackagePath(const char* store, UINT id) {
    char name[kPathBufferSize] = {};
    if (LoadResString(id, name, sizeof(name)) == 0 || name[0] == '\0') return std::string();
    return std::string(store) + name;
}

}  // namespace

int RemoveDeviceMetadata() {
    char store[kPathBufferSize] = {};
    if (!GetMetadataStoreDir(store)) return 0;
    if (!AddBackslash(store, kPathBufferSize)) return 0;

    for (UINT id : kMetadataPackageIds) {
        const std::string path = PackagePath(store, id);
        // A directory of that name is neither the package nor removed.
        if (!path.empty() && IsFile(path.c_str()) && DeleteFileA(path.c_str()))
            LogEvent("metadata package removed", path.c_str());
    }
    for (UINT id : kMetadataPackageIds) {
        const std::string path = PackagePath(store, id);
        if (!path.empty() && IsFile(path.c_str())) return 0;
    }
    return 1;
}
