// The service control manager of the simulated PC.
//
// A service is its key HKLM\SYSTEM\CurrentControlSet\Services\<name> with a
// REG_DWORD Type (and Start, ErrorControl, ImagePath...): the registry is
// the one record of which services exist and how they are configured.
// What only the running manager knows is kept here: whether a service
// (for a driver: its image) is running, whether DeleteService marked it
// for deletion, and how many handles to it are open.
//
// DeleteService only marks a service (and writes DeleteFlag = 1 and Start =
// SERVICE_DISABLED into its key, as the manager does). The key goes when
// the last handle to the service is closed while it is not running, or
// when it stops after its last handle was closed.
//
// Names compare without regard to case; the seeding API takes UTF-8.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

class Registry;

struct ServiceSpec {
    std::string name;
    DWORD type = 0x00000001;          // SERVICE_KERNEL_DRIVER
    DWORD start = 0x00000003;         // SERVICE_DEMAND_START
    DWORD errorControl = 0x00000001;  // SERVICE_ERROR_NORMAL
    std::string imagePath;            // REG_EXPAND_SZ; empty: no ImagePath value
    bool running = false;
};

class Services {
public:
    static constexpr const char* kServicesKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services";

    explicit Services(Registry& registry);

    // --- seeding -----------------------------------------------------------
    // Writes the service's key and records whether it runs.
    void add(const ServiceSpec& service);
    // Starts or stops the service (a driver loaded or unloaded). Stopping a
    // service marked for deletion with no open handle completes the
    // deletion.
    void setRunning(const std::string& name, bool running);
    // As if an earlier DeleteService had marked the service.
    void markForDeletion(const std::string& name);

    // --- inspection --------------------------------------------------------
    // Whether the manager knows the service: its key exists with a Type.
    bool exists(const std::string& name) const;
    bool isRunning(const std::string& name) const;
    bool isMarkedForDeletion(const std::string& name) const;
    int openHandles(const std::string& name) const;
    // The services the manager knows, in the registry's order.
    std::vector<std::string> list() const;
    // "HKLM\\SYSTEM\\CurrentControlSet\\Services\\<name>".
    static std::string keyPath(const std::string& name);

    // --- used by the Win32 layer -------------------------------------------
    void handleOpened(const std::string& name);
    // Completes a pending deletion when this was the last handle.
    void handleClosed(const std::string& name);

private:
    static std::string upper(const std::string& name);
    void completeDeletionIfDue(const std::string& name);
    Registry& registry_;
    std::set<std::string> running_;     // upper-case names
    std::set<std::string> marked_;      // upper-case names
    std::map<std::string, int> handles_;  // by upper-case name
};

}  // namespace winsim
