// The floor of the benchmark: the platform calls that the program's steps
// prescribe on a large machine, and nothing else. It builds for Windows
// (bench_floor.exe, run under Wine) and against the simulated machine
// (bench_winsim), so each build's program is compared with its own floor.
//
// The calls, in the program's order:
// - three device enumerations, one per hardware ID the removal looks for:
//   SetupDiGetClassDevsA(DIGCF_ALLCLASSES), and for every device
//   SetupDiEnumDeviceInfo, the size query and the read of its hardware-ID
//   list (SetupDiGetDeviceRegistryPropertyA twice) and a case-insensitive
//   compare of each entry (lstrcmpiA); SetupDiDestroyDeviceInfoList;
// - the listing of the INF folder (SetupGetInfFileListA with a NULL folder,
//   size query and read) and one test of each listed file:
//   SetupOpenInfFileA, SetupFindFirstLineA of the phone maker's model
//   section, SetupGetStringFieldA of field 2 when the section is there,
//   SetupCloseInfFile;
// - the search of the INF folder for oem*.inf (GetWindowsDirectoryA,
//   FindFirstFileA, FindNextFileA, FindClose) with the same test of each;
// - SetupCopyOEMInfA of the media's three INF files.
#pragma once

#include <string>

namespace bench {

struct FloorCounts {
    int devices[3] = {};    // devices each enumeration listed
    int matches[3] = {};    // of them, those with the hardware ID looked for
    int listedInfs = 0;     // names SetupGetInfFileListA gave
    int listedModels = 0;   // of them, files with the model section
    int oemInfs = 0;        // oem*.inf files found
    int oemModels = 0;      // of them, files with the model section
    int staged = 0;         // SetupCopyOEMInfA calls that succeeded
    // Seconds each part took: the three enumerations, the listing, the
    // oem*.inf search, the staging.
    double seconds[4] = {};
};

// Runs the calls; `driversFolder` is the media's Drivers folder (ANSI,
// without a trailing backslash).
FloorCounts RunFloor(const std::string& driversFolder);

// The counts and times on one line, for the benchmark's report.
std::string Describe(const FloorCounts& counts);

}  // namespace bench
