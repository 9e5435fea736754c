#include "winsim/devices.h"

#include <stdexcept>

#include "winsim/registry.h"

namespace winsim {
namespace {

// An instance ID has exactly three parts: enumerator, device, instance.
bool isInstanceId(const std::string& id) {
    const size_t first = id.find('\\');
    if (first == std::string::npos || first == 0) return false;
    const size_t second = id.find('\\', first + 1);
    if (second == std::string::npos || second == first + 1) return false;
    return second + 1 < id.size() && id.find('\\', second + 1) == std::string::npos;
}

}  // namespace

Devices::Devices(Registry& registry) : registry_(registry) {}

std::string Devices::upper(const std::string& instanceId) { return registryUpper(instanceId); }

std::string Devices::enumKeyPath(const std::string& instanceId) { return std::string(kEnumKey) + "\\" + instanceId; }

void Devices::add(const DeviceSeed& device) {
    if (!isInstanceId(device.instanceId))
        throw std::invalid_argument("winsim devices: not an instance ID (enumerator\\device\\instance): " +
                                    device.instanceId);
    if (device.inUse != StopRefusal::None && !device.present)
        throw std::invalid_argument("winsim devices: only a connected device can be in use: " + device.instanceId);
    if (!device.infPath.empty() && device.driver.empty())
        throw std::invalid_argument("winsim devices: an InfPath needs a Driver value: " + device.instanceId);
    const std::string key = enumKeyPath(device.instanceId);
    registry_.createKey(key);
    if (!device.hardwareIds.empty()) registry_.setMultiString(key, "HardwareID", device.hardwareIds);
    if (!device.classGuid.empty()) registry_.setString(key, "ClassGUID", device.classGuid);
    if (!device.className.empty()) {
        registry_.setString(key, "Class", device.className);
        // The class's own key names it; the Setup API reads the name there.
        if (!device.classGuid.empty()) {
            const std::string classKey = std::string(kClassKey) + "\\" + device.classGuid;
            if (!registry_.string(classKey, "Class")) registry_.setString(classKey, "Class", device.className);
        }
    }
    if (!device.driver.empty()) registry_.setString(key, "Driver", device.driver);
    if (!device.infPath.empty())
        registry_.setString(std::string(kClassKey) + "\\" + device.driver, "InfPath", device.infPath);
    setPresent(device.instanceId, device.present);
    if (device.inUse != StopRefusal::None) inUse_[upper(device.instanceId)] = device.inUse;
}

void Devices::setPresent(const std::string& instanceId, bool present) {
    if (!exists(instanceId)) throw std::invalid_argument("winsim devices: no such instance: " + instanceId);
    if (present) {
        present_.insert(upper(instanceId));
    } else {
        // Unplugged, the phone closes every port it had open.
        present_.erase(upper(instanceId));
        inUse_.erase(upper(instanceId));
    }
}

bool Devices::exists(const std::string& instanceId) const {
    return isInstanceId(instanceId) && registry_.keyExists(enumKeyPath(instanceId));
}

bool Devices::isPresent(const std::string& instanceId) const {
    return exists(instanceId) && present_.count(upper(instanceId)) != 0;
}

void Devices::setInUse(const std::string& instanceId, StopRefusal inUse) {
    setPresent(instanceId, true);
    if (inUse == StopRefusal::None)
        inUse_.erase(upper(instanceId));
    else
        inUse_[upper(instanceId)] = inUse;
}

StopRefusal Devices::stopRefusal(const std::string& instanceId) const {
    auto it = inUse_.find(upper(instanceId));
    return it == inUse_.end() || !isPresent(instanceId) ? StopRefusal::None : it->second;
}

std::vector<std::string> Devices::list() const {
    std::vector<std::string> ids;
    for (const std::string& enumerator : registry_.subkeyNames(kEnumKey)) {
        const std::string enumeratorKey = std::string(kEnumKey) + "\\" + enumerator;
        for (const std::string& device : registry_.subkeyNames(enumeratorKey)) {
            for (const std::string& instance : registry_.subkeyNames(enumeratorKey + "\\" + device))
                ids.push_back(enumerator + "\\" + device + "\\" + instance);
        }
    }
    return ids;
}

StopRefusal Devices::remove(const std::string& instanceId) {
    const StopRefusal refusal = stopRefusal(instanceId);
    const std::string key = enumKeyPath(instanceId);
    // The driver key is the device's software key: Windows deletes it with
    // the hardware key.
    // A Driver value names "{class guid}\\number"; anything else points at
    // no driver key, and the class key itself must not go.
    if (auto driver = registry_.string(key, "Driver"); driver && driver->find('\\') != std::string::npos)
        registry_.deleteKey(std::string(kClassKey) + "\\" + *driver);
    registry_.deleteKey(key);
    const std::string deviceKey = key.substr(0, key.rfind('\\'));
    if (registry_.keyExists(deviceKey) && registry_.subkeyNames(deviceKey).empty()) registry_.deleteKey(deviceKey);
    present_.erase(upper(instanceId));
    inUse_.erase(upper(instanceId));
    if (refusal != StopRefusal::None) removedAtRestart_.push_back(upper(instanceId));
    return refusal;
}

}  // namespace winsim
