// The service control manager of the simulated PC.
//
// A service is its key HKLM\SYSTEM\CurrentControlSet\Services\<name> with a
// REG_DWORD Type (and Start, ErrorControl, ImagePath...). The manager reads
// those keys into a database of its own when Windows starts and from then
// on works from that database: a key written into the registry by hand is
// no service until the next start, and one deleted by hand is still a
// service to the manager. CreateServiceA and DeleteService change both.
// The manager alone also knows whether a service (for a driver: its image)
// is running, whether DeleteService marked it for deletion, and how many
// handles to it are open.
//
// DeleteService only marks a service (and writes DeleteFlag = 1 and Start =
// SERVICE_DISABLED into its key, as the manager does). The mark holds until
// the deletion completes, whatever happens to the DeleteFlag value: the
// key goes when the last handle to the service is closed while it is not
// running, or when it stops after its last handle was closed, and at the
// latest when Windows starts again.
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

struct ServiceSeed {
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
    // Writes the service's key, enters it into the manager's database (as
    // if it was there when Windows started) and records whether it runs.
    void add(const ServiceSeed& service);
    // Starts or stops the service (a driver loaded or unloaded). Stopping a
    // service marked for deletion with no open handle completes the
    // deletion.
    void setRunning(const std::string& name, bool running);
    // As if an earlier DeleteService had marked the service.
    void markForDeletion(const std::string& name);
    // Windows starts again: the keys of services marked for deletion, and
    // every key with a DeleteFlag of 1, are deleted; the database is read
    // anew from the keys that have a Type. Services that remain keep
    // their running state. No handle may be open.
    void restart();

    // --- inspection --------------------------------------------------------
    // Whether the manager's database holds the service.
    bool exists(const std::string& name) const;
    bool isRunning(const std::string& name) const;
    bool isMarkedForDeletion(const std::string& name) const;
    int openHandles(const std::string& name) const;
    // The services the manager knows, as their keys spell them, ordered as
    // the registry orders keys (without regard to case).
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
    std::map<std::string, std::string> database_;  // upper-case name -> name
    std::set<std::string> running_;     // upper-case names
    std::set<std::string> marked_;      // upper-case names
    std::map<std::string, int> handles_;  // by upper-case name
};

}  // namespace winsim
