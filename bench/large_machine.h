// The large machine of the benchmark: a PC with many drivers installed, on
// which the phone's earlier installation is a small part. One description
// seeds both the simulated machine (bench_winsim) and the Wine prefix
// (bench_make_machine writes its files), so the two hold the same devices,
// services and INF files.
//
// Its size at scale 1: 2,000 INF files in the INF folder, 300 of them
// oem<N>.inf (three of those the phone's old packages), 5,000 device
// instances (12 of them the phone's: four phones' composite device and
// their two interfaces) and 500 kernel services (four of them the phone's).
// Another scale multiplies everything but the phone's items.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct MachineSize {
    int infFiles;  // in the INF folder, oem<N>.inf included
    int oemInfs;   // oem<N>.inf, the phone's included
    int devices;   // the phone's included
    int services;  // the phone's included
};

// 2,000 / 300 / 5,000 / 500 times the factor, never below the phone's own
// items.
MachineSize ScaledSize(double factor);

struct DeviceItem {
    std::string instanceId;  // "USB\\VID_1A2B&PID_3C4D\\..."
    std::string classGuid;
    std::string className;
    std::vector<std::string> hardwareIds;
    bool phone = false;
};

struct ServiceItem {
    std::string name;
    std::string imagePath;  // "System32\\drivers\\<name>.sys"
    bool phone = false;
};

struct InfItem {
    std::string name;          // its name in the INF folder: "oem41.inf", "net1234.inf"
    std::string content;       // CR LF line ends
    std::string originalName;  // for the phone's packages the media's name ("qtx0bus.inf"), else empty
};

struct LargeMachine {
    MachineSize size;
    std::vector<DeviceItem> devices;
    std::vector<ServiceItem> services;
    // Every INF file of the folder: the phone's three packages are among
    // the oem<N>.inf files and carry their original name. Each oem<N>.inf
    // also has its precompiled oem<N>.PNF.
    std::vector<InfItem> infs;
};

// The machine of the given size. The phone's packages are the media's INF
// files read from `mediaDrivers` (the repository's media/Drivers). Throws
// std::runtime_error when a media file cannot be read.
LargeMachine Describe(const MachineSize& size, const std::string& mediaDrivers);

// The device instances and services as a registry file (ASCII, CR LF):
// the keys under HKLM\SYSTEM\CurrentControlSet\Enum and \Services with the
// values that the simulated machine's seeding writes (HardwareID as
// REG_MULTI_SZ, ClassGUID, Class; Type, Start, ErrorControl and ImagePath
// as REG_EXPAND_SZ). `reg import` wants it in UTF-16LE with a BOM.
std::string RegistryFile(const LargeMachine& machine);

// The placeholder .PNF of an oem<N>.inf.
std::string PnfContent(const std::string& infName);

}  // namespace bench
