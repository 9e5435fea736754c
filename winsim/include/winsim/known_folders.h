// Known folders of the simulated PC (SHGetKnownFolderPath), and the COM
// task memory in which their paths are handed to the caller.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

class FileSystem;
struct SystemInfo;

struct KnownFolder {
    GUID id;
    std::string name;  // for messages: "DeviceMetadataStore"
    std::string path;  // UTF-8, without a trailing backslash
    // The first Windows version that defines the folder.
    DWORD sinceMajor;
    DWORD sinceMinor;
    // False when a test takes the folder away from this system.
    bool present = true;
};

class KnownFolders {
public:
    // The folders winsim models, each created in the file system:
    // FOLDERID_DeviceMetadataStore (Windows 7 and later). A test may
    // remove a folder from the file system: Windows defines the folder all
    // the same, but creates it only when asked to (KF_FLAG_CREATE).
    KnownFolders(FileSystem& files, const SystemInfo& system);
    ~KnownFolders();  // frees the task memory the program did not free
    KnownFolders(const KnownFolders&) = delete;
    KnownFolders& operator=(const KnownFolders&) = delete;

    std::vector<KnownFolder> folders;

    // The folder with this ID, or null when winsim does not model it.
    KnownFolder* find(const GUID& id);
    // Whether the running Windows knows the folder: its version is recent
    // enough and no test took the folder away.
    bool presentOnSystem(const KnownFolder& folder) const;
    // Takes a folder away from this system, as on a release without it.
    void remove(const GUID& id);

    // Blocks from the COM task allocator (CoTaskMemAlloc) that the program
    // has not given back with CoTaskMemFree, with their sizes.
    std::map<void*, size_t> taskAllocations;
    int taskFrees = 0;  // CoTaskMemFree calls that freed a block
    void* taskAllocate(size_t size);
    bool taskFree(void* block);

private:
    const SystemInfo& system_;
};

}  // namespace winsim
