// Programs that the simulated PC can start (for example the system's
// pnputil.exe), and the log of the processes started.
#pragma once

namespace winsim {

class Processes {
public:
    Processes();
};

}  // namespace winsim
