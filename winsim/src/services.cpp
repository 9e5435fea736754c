#include "winsim/services.h"

#include <iterator>
#include <optional>
#include <stdexcept>

#include "winsim/registry.h"

namespace winsim {
namespace {

constexpr DWORD kServiceDisabled = 0x00000004;

}  // namespace

Services::Services(Registry& registry) : registry_(registry) {}

std::string Services::upper(const std::string& name) { return registryUpper(name); }

std::string Services::keyPath(const std::string& name) { return std::string(kServicesKey) + "\\" + name; }

void Services::add(const ServiceSeed& service) {
    if (service.name.empty() || service.name.find_first_of("\\/") != std::string::npos)
        throw std::invalid_argument("winsim services: not a service name: " + service.name);
    const std::string key = keyPath(service.name);
    registry_.setDword(key, "Type", service.type);
    database_[upper(service.name)] = service.name;
    registry_.setDword(key, "Start", service.start);
    registry_.setDword(key, "ErrorControl", service.errorControl);
    if (!service.imagePath.empty()) registry_.setString(key, "ImagePath", service.imagePath, REG_EXPAND_SZ);
    setRunning(service.name, service.running);
}

void Services::setRunning(const std::string& name, bool running) {
    if (!exists(name)) throw std::invalid_argument("winsim services: no such service: " + name);
    if (running) {
        running_.insert(upper(name));
        return;
    }
    running_.erase(upper(name));
    completeDeletionIfDue(name);
}

void Services::markForDeletion(const std::string& name) {
    if (!exists(name)) throw std::invalid_argument("winsim services: no such service: " + name);
    marked_.insert(upper(name));
    // The manager records the pending deletion in the key, so that a
    // restart completes it, and disables the service meanwhile.
    registry_.setDword(keyPath(name), "DeleteFlag", 1);
    registry_.setDword(keyPath(name), "Start", kServiceDisabled);
    completeDeletionIfDue(name);
}

bool Services::exists(const std::string& name) const { return database_.count(upper(name)) != 0; }

void Services::restart() {
    if (!handles_.empty()) throw std::logic_error("winsim services: a restart with service handles open");
    for (const std::string& key : marked_) registry_.deleteKey(keyPath(database_[key]));
    marked_.clear();
    database_.clear();
    for (const std::string& name : registry_.subkeyNames(kServicesKey)) {
        if (registry_.dword(keyPath(name), "DeleteFlag") == std::optional<DWORD>(1)) {
            registry_.deleteKey(keyPath(name));
            continue;
        }
        if (registry_.dword(keyPath(name), "Type")) database_[upper(name)] = name;
    }
    for (auto it = running_.begin(); it != running_.end();)
        it = database_.count(*it) ? std::next(it) : running_.erase(it);
}

bool Services::isRunning(const std::string& name) const { return exists(name) && running_.count(upper(name)) != 0; }

bool Services::isMarkedForDeletion(const std::string& name) const {
    return exists(name) && marked_.count(upper(name)) != 0;
}

int Services::openHandles(const std::string& name) const {
    auto it = handles_.find(upper(name));
    return it == handles_.end() ? 0 : it->second;
}

std::vector<std::string> Services::list() const {
    std::vector<std::string> names;
    for (const auto& entry : database_) names.push_back(entry.second);
    return names;
}

void Services::handleOpened(const std::string& name) { ++handles_[upper(name)]; }

void Services::handleClosed(const std::string& name) {
    auto it = handles_.find(upper(name));
    if (it != handles_.end() && --it->second <= 0) handles_.erase(it);
    completeDeletionIfDue(name);
}

void Services::completeDeletionIfDue(const std::string& name) {
    const std::string key = upper(name);
    if (!marked_.count(key) || running_.count(key) || openHandles(name) > 0) return;
    // The manager deletes the service key with its subkeys.
    registry_.deleteKey(keyPath(database_[key]));
    marked_.erase(key);
    database_.erase(key);
}

}  // namespace winsim
