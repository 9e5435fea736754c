#include "floor.h"

#include <windows.h>
#include <setupapi.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

namespace {

const char* const kHardwareIds[3] = {"USB\\VID_1A2B&PID_3C4D&MI_00", "USB\\VID_1A2B&PID_3C4D&MI_03",
                                     "USB\\VID_1A2B&PID_3C4D"};
const char kModelSection[] = "Vantor_wmc";
const char* const kMediaInfs[3] = {"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"};

void EnumerateDevices(const char* hardwareId, int* devices, int* matches) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return;
    std::vector<BYTE> ids;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        ++*devices;
        DWORD required = 0;
        if (SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            continue;
        // Two spare bytes keep the multi-string terminated whatever was read.
        if (ids.size() < required + 2) ids.resize(required + 2);
        if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, ids.data(), required, nullptr))
            continue;
        ids[required] = ids[required + 1] = 0;
        for (const char* entry = reinterpret_cast<const char*>(ids.data()); *entry; entry += lstrlenA(entry) + 1) {
            if (lstrcmpiA(entry, hardwareId) == 0) ++*matches;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

// Opens the INF and reads field 2 of the model section's first line; true
// when the section is there.
bool TestInf(const char* name) {
    HINF inf = SetupOpenInfFileA(name, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return false;
    INFCONTEXT line;
    char field[1024];
    const bool found = SetupFindFirstLineA(inf, kModelSection, nullptr, &line) != FALSE;
    if (found) SetupGetStringFieldA(&line, 2, field, sizeof(field), nullptr);
    SetupCloseInfFile(inf);
    return found;
}

void TestListedInfs(FloorCounts& counts) {
    DWORD required = 0;
    if (!SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, nullptr, 0, &required) || required == 0) return;
    std::vector<char> list(required + 2, '\0');
    if (!SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, list.data(), required, &required)) return;
    for (const char* name = list.data(); *name; name += lstrlenA(name) + 1) {
        ++counts.listedInfs;
        if (TestInf(name)) ++counts.listedModels;
    }
}

void TestOemInfs(FloorCounts& counts) {
    char folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 20) return;
    const std::string inf = std::string(folder) + "\\inf\\";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((inf + "oem*.inf").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        ++counts.oemInfs;
        if (TestInf((inf + entry.cFileName).c_str())) ++counts.oemModels;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

}  // namespace

FloorCounts RunFloor(const std::string& driversFolder) {
    FloorCounts counts;
    auto lap = std::chrono::steady_clock::now();
    auto next = [&lap](double* seconds) {
        const auto now = std::chrono::steady_clock::now();
        *seconds = std::chrono::duration<double>(now - lap).count();
        lap = now;
    };
    for (int i = 0; i < 3; ++i) EnumerateDevices(kHardwareIds[i], &counts.devices[i], &counts.matches[i]);
    next(&counts.seconds[0]);
    TestListedInfs(counts);
    next(&counts.seconds[1]);
    TestOemInfs(counts);
    next(&counts.seconds[2]);
    for (const char* name : kMediaInfs) {
        const std::string path = driversFolder + "\\" + name;
        if (SetupCopyOEMInfA(path.c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr)) ++counts.staged;
    }
    next(&counts.seconds[3]);
    return counts;
}

std::string Describe(const FloorCounts& counts) {
    std::string text = "devices";
    for (int i = 0; i < 3; ++i)
        text += " " + std::to_string(counts.devices[i]) + "(" + std::to_string(counts.matches[i]) + " matching)";
    text += ", listed INF files " + std::to_string(counts.listedInfs) + " (" + std::to_string(counts.listedModels) +
            " with the model section), oem*.inf " + std::to_string(counts.oemInfs) + " (" +
            std::to_string(counts.oemModels) + "), staged " + std::to_string(counts.staged);
    char times[160];
    std::snprintf(times, sizeof(times), "; seconds: enumerations %.3f, listing %.3f, oem search %.3f, staging %.3f",
                  counts.seconds[0], counts.seconds[1], counts.seconds[2], counts.seconds[3]);
    return text + times;
}

}  // namespace bench
