// Machines for whole-program tests: the install media beside the program,
// what an earlier installation of the phone's drivers left behind, and
// foreign look-alikes that every run must leave exactly as they were.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace seeded {

constexpr const char* kDriversDir = "C:\\WINDOWS\\system32\\drivers";
constexpr const char* kInfDir = "C:\\WINDOWS\\INF";
constexpr const char* kMetadataJaJp = "C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore\\ja-JP";

// A key below HKLM\SOFTWARE as a 32-bit program sees it: below
// HKLM\SOFTWARE\Wow6432Node on 64-bit Windows. `below` is the path under
// SOFTWARE.
std::string Software32(const winsim::Machine& m, const std::string& below);
// The product key where the earlier, 32-bit, versions created it.
std::string ProductKey(const winsim::Machine& m);
// The key of the same name in the 64-bit view of 64-bit Windows, which is
// not the product's.
constexpr const char* kProductKey64 = "HKLM\\SOFTWARE\\VANTOR\\VANTOR 3G USB Driver 210QX";

// The phone's device instances, driver files, services and metadata packages.
extern const std::vector<std::string> kPhoneDevices;
extern const std::vector<std::string> kPhoneDriverFiles;
extern const std::vector<std::string> kPhoneServices;
extern const std::vector<std::string> kMetadataPackages;

// The sample media of media/ in "Drivers" and "metadata" beside the
// program's folder.
void LayOutMedia(winsim::Machine& m);

// The host text of a file of the sample media ("Drivers\\qtx0bus.inf").
std::string MediaFile(const std::string& relative);

struct EarlierInstallation {
    std::vector<std::string> publishedPackages;  // the phone's oemN.inf names, in publishing order
    HWND launcher = nullptr;                     // a window with the property "CDROMLauncher"
};

// Devices (not connected), the four services, the eight driver files (one
// read-only), the three INF files published as packages, the metadata
// packages in the store's ja-JP folder, InstallFlag = 1, a launcher window.
// With `xp`, also the LastGood copies of the driver files and of the INF.
EarlierInstallation SeedEarlierInstallation(winsim::Machine& m, bool xp = false);

// Everything the phone's items look like but are not: a device whose only
// ID is USB\VID_1A2B&PID_3C4D&REV_0100&MI_00, one with
// USB\VID_1A2B&PID_3C4E, a service "qtx0bus2", a file "qtx0bus.sys.bak",
// another vendor's package that a foreign device's Driver value points at,
// an INF naming the phone's ID only on its second model line, metadata
// packages of another locale, a window whose property is "cdromlauncher"
// (which, sharing the launcher's atom, is told of the change as well).
// Take() records them; ExpectUnchanged() checks each is still there, byte
// for byte.
class ForeignLookAlikes {
public:
    void Seed(winsim::Machine& m);
    void ExpectUnchanged(winsim::Machine& m) const;
    HWND otherCaseLauncher = nullptr;

private:
    std::map<std::string, std::string> files_;  // path -> content
    std::vector<std::string> devices_;
    std::vector<std::string> services_;
    std::map<std::string, std::vector<std::string>> registryValues_;  // key -> value names
};

}  // namespace seeded
