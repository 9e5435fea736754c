#include "winsim/handles.h"

#include <cstdio>

namespace winsim {

const char* toString(HandleKind kind) {
    switch (kind) {
    case HandleKind::RegistryKey: return "RegistryKey";
    case HandleKind::File: return "File";
    case HandleKind::FindSearch: return "FindSearch";
    case HandleKind::Mutex: return "Mutex";
    case HandleKind::Token: return "Token";
    case HandleKind::Process: return "Process";
    case HandleKind::Thread: return "Thread";
    case HandleKind::ServiceManager: return "ServiceManager";
    case HandleKind::Service: return "Service";
    case HandleKind::DeviceInfoSet: return "DeviceInfoSet";
    case HandleKind::InfFile: return "InfFile";
    }
    return "?";
}

HANDLE HandleTable::add(HandleKind kind, std::shared_ptr<KernelObject> object) {
    HANDLE h = reinterpret_cast<HANDLE>(next_);
    next_ += 4;
    entries_[h] = Entry{kind, std::move(object)};
    return h;
}

bool HandleTable::close(HANDLE handle, HandleKind kind) {
    auto it = entries_.find(handle);
    if (it == entries_.end() || it->second.kind != kind) return false;
    entries_.erase(it);
    return true;
}

bool HandleTable::closeAny(HANDLE handle) {
    auto it = entries_.find(handle);
    if (it == entries_.end()) return false;
    switch (it->second.kind) {
    case HandleKind::File:
    case HandleKind::Mutex:
    case HandleKind::Token:
    case HandleKind::Process:
    case HandleKind::Thread:
        entries_.erase(it);
        return true;
    default:
        return false;  // registry keys, searches, SCM and Setup API handles have their own close
    }
}

size_t HandleTable::openCount(HandleKind kind) const {
    size_t n = 0;
    for (const auto& e : entries_)
        if (e.second.kind == kind) ++n;
    return n;
}

std::vector<std::string> HandleTable::describeOpen() const {
    std::vector<std::string> out;
    for (const auto& e : entries_) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %p", toString(e.second.kind), e.first);
        out.push_back(line);
    }
    return out;
}

}  // namespace winsim
