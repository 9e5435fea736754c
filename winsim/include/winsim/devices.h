// Plug and Play device instances of the simulated PC.
//
// A device instance is its Enum key in the registry
// (HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<device>\<instance>, with
// values such as HardwareID, ClassGUID, Class, Driver) plus whether the
// device is connected now. The registry is the one state: this class is a
// view over it, never a second copy that could drift. Only presence is
// kept here, because Windows does not record it in the registry either: it
// is a property of the running device tree.
//
// Instance IDs are written as Windows reports them
// ("USB\\VID_1A2B&PID_3C4D\\5&1A2B3C4D&0&1") and compare without regard to
// case. The seeding API takes UTF-8.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace winsim {

class Registry;

// What a test seeds: one device instance and, through `driver` and
// `infPath`, its software (driver) key under Control\Class.
// What DIF_REMOVE meets when it tries to stop a connected device's driver:
// a phone with a port open in some program cannot be stopped, and the
// removal is finished at the next restart. The two answers differ only in
// the flag the removal leaves in the device's install parameters.
enum class StopRefusal { None, NeedsReboot, NeedsRestart };

struct DeviceSeed {
    std::string instanceId;                // enumerator\device\instance
    std::vector<std::string> hardwareIds;  // empty: no HardwareID value at all
    bool present = false;                  // connected now
    std::string classGuid;                 // "{36FC9E60-C465-11CF-8056-444553540000}"; empty: no ClassGUID value
    std::string className;                 // "USB"; empty: no Class value
    std::string driver;                    // "{class guid}\\0003"; empty: no Driver value
    std::string infPath;                   // InfPath of the driver key ("oem12.inf"); needs `driver`
    StopRefusal inUse = StopRefusal::None;  // in use, cannot stop; needs `present`
};

class Devices {
public:
    // The Enum key of every device instance, as a registry path for the
    // seeding and inspection API of Registry.
    static constexpr const char* kEnumKey = "HKLM\\SYSTEM\\CurrentControlSet\\Enum";
    // The root of the driver (software) keys that Driver values point into.
    static constexpr const char* kClassKey = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class";

    explicit Devices(Registry& registry);

    // --- seeding -----------------------------------------------------------
    // Writes the instance's Enum key (and its driver key when `driver` and
    // `infPath` are given) and records whether it is connected.
    void add(const DeviceSeed& device);
    // Plugs the device in or out. The instance must exist.
    void setPresent(const std::string& instanceId, bool present);
    // Plugs the device in with a port open, so that its driver cannot stop.
    void setInUse(const std::string& instanceId, StopRefusal inUse);

    // --- inspection --------------------------------------------------------
    bool exists(const std::string& instanceId) const;
    bool isPresent(const std::string& instanceId) const;
    // How a removal of the instance ends while it is connected and in use.
    StopRefusal stopRefusal(const std::string& instanceId) const;
    // Instances whose removal waits for the next restart, upper case, in
    // the order they were removed.
    const std::vector<std::string>& removedAtRestart() const { return removedAtRestart_; }
    // Every instance in the registry's order of enumerators, devices and
    // instances, as "ENUMERATOR\\Device\\Instance" in the case the keys
    // were created with.
    std::vector<std::string> list() const;
    // "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\<instance id>".
    static std::string enumKeyPath(const std::string& instanceId);

    // --- used by the Setup API layer ---------------------------------------
    // Removes the instance as the default DIF_REMOVE handler does: its
    // Enum key with everything below it, its driver key, the device key
    // above it when no other instance is left there, and its presence.
    // The enumerator key (USB, ROOT...) stays: Windows keeps those.
    // A connected device whose driver cannot stop loses its keys all the
    // same; its device node goes at the next restart, and the answer says
    // which flag the default handler sets (StopRefusal::None: none).
    StopRefusal remove(const std::string& instanceId);
    // A number for one member of a device information set, unique on this
    // machine: SP_DEVINFO_DATA carries it to tell members apart.
    unsigned long allocateDevNode() { return nextDevNode_++; }

private:
    static std::string upper(const std::string& instanceId);
    Registry& registry_;
    std::set<std::string> present_;  // upper-case instance IDs
    std::map<std::string, StopRefusal> inUse_;  // upper-case instance IDs
    std::vector<std::string> removedAtRestart_;
    unsigned long nextDevNode_ = 1;
};

}  // namespace winsim
