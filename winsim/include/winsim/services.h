// The service control manager of the simulated PC.
#pragma once

#include <string>

namespace winsim {

class Registry;

class Services {
public:
    explicit Services(Registry& registry);

private:
    Registry& registry_;
};

}  // namespace winsim
