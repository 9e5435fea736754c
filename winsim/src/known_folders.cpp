// The known folders winsim models and the COM task memory blocks.
#include "winsim/known_folders.h"

#include <cstdlib>
#include <cstring>

#include <knownfolders.h>

#include "winsim/file_system.h"
#include "winsim/system_info.h"

namespace winsim {

KnownFolders::KnownFolders(FileSystem& files, const SystemInfo& system) : system_(system) {
    // %ProgramData%\Microsoft\Windows\DeviceMetadataStore, where Windows 7
    // and later keep device metadata packages in a subfolder per locale.
    folders.push_back(KnownFolder{FOLDERID_DeviceMetadataStore, "DeviceMetadataStore",
                                  "C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore", 6, 1});
    for (const KnownFolder& folder : folders) files.createDirectory(folder.path);
}

KnownFolders::~KnownFolders() {
    for (auto& block : taskAllocations) std::free(block.first);
}

KnownFolder* KnownFolders::find(const GUID& id) {
    for (KnownFolder& folder : folders)
        if (folder.id == id) return &folder;
    return nullptr;
}

bool KnownFolders::presentOnSystem(const KnownFolder& folder) const {
    // Known folders came with Windows Vista (NT 6.0).
    if (system_.platformId != 2 || !folder.present) return false;
    if (system_.major != folder.sinceMajor) return system_.major > folder.sinceMajor;
    return system_.minor >= folder.sinceMinor;
}

void KnownFolders::remove(const GUID& id) {
    if (KnownFolder* folder = find(id)) folder->present = false;
}

void* KnownFolders::taskAllocate(size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) return nullptr;
    std::memset(block, 0xCD, size ? size : 1);
    taskAllocations[block] = size;
    return block;
}

bool KnownFolders::taskFree(void* block) {
    auto it = taskAllocations.find(block);
    if (it == taskAllocations.end()) return false;
    taskAllocations.erase(it);
    std::free(block);
    ++taskFrees;
    return true;
}

}  // namespace winsim
