// An image of the simulated PC, item by item, as text: every key of the
// registry with its values, every file and folder of every drive with its
// attributes and bytes, the devices and whether they are connected, the
// services and their state, the driver store's packages, the programs
// started, the session's windows with what they were sent and what was
// done to them, and the named mutexes. Two images are equal exactly when
// nothing that a program can change on the machine changed in between;
// the message boxes the program itself showed are not part of it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace winsim {

class Machine;

// By item ("file C:\\WINDOWS\\INF\\oem3.inf"), its state.
using MachineImage = std::map<std::string, std::string>;

// Files named in `leaveOut` (Windows paths, in any case) are left out.
MachineImage imageOf(Machine& m, const std::vector<std::string>& leaveOut = {});

// One line per item that appeared, went or changed between two images.
std::vector<std::string> differences(const MachineImage& before, const MachineImage& after);

}  // namespace winsim
