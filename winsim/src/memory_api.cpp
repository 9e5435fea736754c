// KERNEL32 LocalAlloc and LocalFree: fixed blocks, each recorded in the
// machine's handle table so that a test can see what the program did not
// give back.
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include <windows.h>

#include "local_memory.h"

namespace winsim {
namespace {

// Blocks that a test's machine never freed stay reachable from here: a
// test that checks localAllocations reports them, and the leak checker of
// the native build does not report them a second time.
std::set<void*>& liveBlocks() {
    static auto* blocks = new std::set<void*>;
    return *blocks;
}

// Larger requests fail as on a machine that has not that much memory.
constexpr size_t kLargestBlock = size_t{1} << 30;

}  // namespace

void* localAllocate(Machine& m, size_t size, bool zeroFill) {
    if (size > kLargestBlock) return nullptr;
    // A zero-size fixed block is a valid pointer that LocalFree accepts.
    void* block = std::malloc(size ? size : 1);
    if (!block) return nullptr;
    std::memset(block, zeroFill ? 0 : 0xCD, size ? size : 1);
    liveBlocks().insert(block);
    m.handles.localAllocations[block] = size;
    return block;
}

bool localRelease(Machine& m, void* block) {
    auto it = m.handles.localAllocations.find(block);
    if (it == m.handles.localAllocations.end()) return false;
    m.handles.localAllocations.erase(it);
    liveBlocks().erase(block);
    std::free(block);
    return true;
}

}  // namespace winsim

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("LocalAlloc")) {
        m.lastError = e;
        return nullptr;
    }
    // Movable blocks (LMEM_MOVEABLE) hand out handles to lock; the product
    // uses fixed memory only.
    if (uFlags & ~static_cast<UINT>(LMEM_ZEROINIT)) {
        winsim::notImplemented("LocalAlloc with flags " + std::to_string(uFlags));
        return nullptr;
    }
    void* block = winsim::localAllocate(m, uBytes, (uFlags & LMEM_ZEROINIT) != 0);
    if (!block) m.lastError = ERROR_NOT_ENOUGH_MEMORY;
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("LocalFree")) {
        m.lastError = e;
        return hMem;
    }
    if (!hMem) return nullptr;
    if (!winsim::localRelease(m, hMem)) {
        m.lastError = ERROR_INVALID_HANDLE;
        return hMem;
    }
    return nullptr;
}
