// The handle table: every kernel, registry, search, token and Setup API
// handle that winsim hands out, so that tests can prove that each one the
// product opened was closed.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

enum class HandleKind {
    RegistryKey,
    File,
    FindSearch,
    Mutex,
    Token,
    Process,
    Thread,
    ServiceManager,
    Service,
    DeviceInfoSet,
    InfFile,
};

const char* toString(HandleKind kind);

struct KernelObject {
    virtual ~KernelObject() = default;
};

class HandleTable {
public:
    HANDLE add(HandleKind kind, std::shared_ptr<KernelObject> object);

    // The object behind a handle of the given kind, or null.
    template <class T>
    std::shared_ptr<T> get(HANDLE handle, HandleKind kind) const {
        auto it = entries_.find(handle);
        if (it == entries_.end() || it->second.kind != kind) return nullptr;
        return std::dynamic_pointer_cast<T>(it->second.object);
    }
    bool isOpen(HANDLE handle) const { return entries_.count(handle) != 0; }
    HandleKind kindOf(HANDLE handle) const { return entries_.at(handle).kind; }

    // Closes a handle of the given kind; false when it is not one.
    bool close(HANDLE handle, HandleKind kind);
    // Closes a handle of any kind that CloseHandle accepts; false otherwise.
    bool closeAny(HANDLE handle);

    size_t openCount() const { return entries_.size(); }
    size_t openCount(HandleKind kind) const;
    // One line per open handle ("Mutex 0x1004"), for test failure messages.
    std::vector<std::string> describeOpen() const;

    // Memory from LocalAlloc that is not yet freed.
    std::map<void*, size_t> localAllocations;

private:
    struct Entry {
        HandleKind kind;
        std::shared_ptr<KernelObject> object;
    };
    std::map<HANDLE, Entry> entries_;
    uintptr_t next_ = 0x1000;
};

}  // namespace winsim
