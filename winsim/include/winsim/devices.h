// Plug and Play device instances of the simulated PC.
//
// A device instance is its Enum key in the registry
// (HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<device>\<instance>, with
// values such as HardwareID, ClassGUID, Driver) plus whether the device is
// connected now. The registry is the one state: this class is a view over
// it, never a second copy that could drift.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace winsim {

class Registry;

class Devices {
public:
    explicit Devices(Registry& registry);

private:
    Registry& registry_;
};

}  // namespace winsim
