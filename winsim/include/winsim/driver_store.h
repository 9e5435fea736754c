// The driver store and the published OEM INF files of the simulated PC.
#pragma once

namespace winsim {

class DriverStore {
public:
    DriverStore();
};

}  // namespace winsim
