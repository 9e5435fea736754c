// Seeds a Wine prefix with the device instances and kernel services of an
// earlier driver installation, and reports what the machine holds of them.
//
//   seed_devices.exe seed <description file>
//   seed_devices.exe report [--key <HKLM\path>]... [--services <prefix>]
//
// The description file (ASCII, one item per line, '#' starts a comment):
//   device  <instance id> <class GUID> <hardware ID> [<hardware ID>...]
//   service <name> <image path>
// A device becomes a non-present device instance, created the way a class
// installer creates one (SetupDiCreateDeviceInfoA with the full instance
// ID, its hardware-ID list set with SetupDiSetDeviceRegistryPropertyA,
// then SetupDiRegisterDeviceInfo). A service becomes a kernel driver
// service with demand start and normal error control (CreateServiceA).
//
// "report [--key <HKLM\path>]... [--services <prefix>]" prints, one per line:
//   device<TAB><instance id><TAB><hardware IDs joined by ';'>
// for every device instance that SetupDiGetClassDevsA(DIGCF_ALLCLASSES)
// lists (the set the program under test walks);
//   key<TAB><path><TAB>
//   value<TAB><path>\<name><TAB><data>
// for every key and value of each registry tree named with --key (a tree
// that does not exist prints nothing), in UTF-8, the data written as
// "text", expand:"text", multi:"a","b", dword:0000002a, qword:..,
// hex:01,02 or hex(<type>):..; and
//   service<TAB><name><TAB><state>
// for each service whose name begins with the prefix given with
// --services (ignoring case), where the state is "marked for deletion"
// (the service still opens but refuses a configuration change with
// ERROR_SERVICE_MARKED_FOR_DELETE) or "type=<n> start=<n> error=<n>
// image=<path>". The configuration change that tells a marked service
// apart passes SERVICE_NO_CHANGE everywhere, so it changes nothing; a
// service that is gone has no line.
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int Fail(const char* what, const std::string& item) {
    std::fprintf(stderr, "seed_devices: %s failed for %s (error %lu)\n", what, item.c_str(), GetLastError());
    return 1;
}

bool ParseGuid(const std::string& text, GUID* guid) {
    unsigned long data1 = 0;
    unsigned int data2 = 0, data3 = 0, bytes[8] = {};
    int fields = std::sscanf(text.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &data1, &data2, &data3,
                             &bytes[0], &bytes[1], &bytes[2], &bytes[3], &bytes[4], &bytes[5], &bytes[6], &bytes[7]);
    if (fields != 11) return false;
    guid->Data1 = data1;
    guid->Data2 = static_cast<unsigned short>(data2);
    guid->Data3 = static_cast<unsigned short>(data3);
    for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<unsigned char>(bytes[i]);
    return true;
}

int SeedDevice(std::istringstream& fields) {
    std::string instance, classText, id;
    fields >> instance >> classText;
    GUID classGuid;
    if (instance.empty() || !ParseGuid(classText, &classGuid)) {
        std::fprintf(stderr, "seed_devices: bad device line for %s\n", instance.c_str());
        return 1;
    }
    // The hardware IDs as a multi-string: each ID ended by NUL, the list
    // ended by an empty entry.
    std::string hardwareIds;
    while (fields >> id) hardwareIds += id + '\0';
    hardwareIds += '\0';

    HDEVINFO set = SetupDiCreateDeviceInfoList(&classGuid, nullptr);
    if (set == INVALID_HANDLE_VALUE) return Fail("SetupDiCreateDeviceInfoList", instance);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    int status = 0;
    if (!SetupDiCreateDeviceInfoA(set, instance.c_str(), &classGuid, nullptr, nullptr, 0, &device))
        status = Fail("SetupDiCreateDeviceInfoA", instance);
    else if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                reinterpret_cast<const BYTE*>(hardwareIds.data()),
                                                static_cast<DWORD>(hardwareIds.size())))
        status = Fail("SetupDiSetDeviceRegistryPropertyA", instance);
    else if (!SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr))
        status = Fail("SetupDiRegisterDeviceInfo", instance);
    SetupDiDestroyDeviceInfoList(set);
    return status;
}

int SeedService(SC_HANDLE manager, std::istringstream& fields) {
    std::string name, image;
    fields >> name >> image;
    if (name.empty() || image.empty()) {
        std::fprintf(stderr, "seed_devices: bad service line for %s\n", name.c_str());
        return 1;
    }
    SC_HANDLE service = CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    if (!service) return Fail("CreateServiceA", name);
    CloseServiceHandle(service);
    return 0;
}

int Seed(const char* file) {
    std::ifstream input(file);
    if (!input) {
        std::fprintf(stderr, "seed_devices: cannot read %s\n", file);
        return 1;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return Fail("OpenSCManagerA", "the local machine");
    int failures = 0;
    std::string line;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind.empty() || kind[0] == '#') continue;
        if (kind == "device") {
            failures += SeedDevice(fields);
        } else if (kind == "service") {
            failures += SeedService(manager, fields);
        } else {
            std::fprintf(stderr, "seed_devices: unknown item \"%s\"\n", kind.c_str());
            ++failures;
        }
    }
    CloseServiceHandle(manager);
    return failures == 0 ? 0 : 1;
}

// The hardware-ID list of one device, joined by ';' (empty when the device
// has none).
std::string HardwareIds(HDEVINFO set, SP_DEVINFO_DATA* device) {
    DWORD required = 0;
    SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required);
    if (required == 0) return std::string();
    std::vector<char> buffer(required + 2, '\0');
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), required, nullptr))
        return std::string();
    std::string joined;
    for (const char* id = buffer.data(); *id; id += std::strlen(id) + 1) {
        if (!joined.empty()) joined += ';';
        joined += id;
    }
    return joined;
}

void ReportDevices() {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) {
        Fail("SetupDiGetClassDevsA", "all classes");
        return;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        char instance[MAX_DEVICE_ID_LEN] = {};
        if (!SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof(instance), nullptr)) continue;
        std::printf("device\t%s\t%s\n", instance, HardwareIds(set, &device).c_str());
    }
    SetupDiDestroyDeviceInfoList(set);
}

std::string ServiceState(SC_HANDLE manager, const std::string& name) {
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) return std::string();
        return "OpenServiceA error " + std::to_string(error);
    }
    std::string state;
    if (!ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr) &&
        GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE) {
        state = "marked for deletion";
    } else {
        DWORD required = 0;
        QueryServiceConfigA(service, nullptr, 0, &required);
        std::vector<BYTE> buffer(required ? required : 1);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        if (required && QueryServiceConfigA(service, config, required, &required)) {
            state = "type=" + std::to_string(config->dwServiceType) + " start=" + std::to_string(config->dwStartType) +
                    " error=" + std::to_string(config->dwErrorControl) + " image=" +
                    (config->lpBinaryPathName ? config->lpBinaryPathName : "");
        } else {
            state = "QueryServiceConfigA error " + std::to_string(GetLastError());
        }
    }
    CloseServiceHandle(service);
    return state;
}

std::string Utf8(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
    if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], size);
    return wide;
}

std::string Quoted(const wchar_t* text, size_t length) {
    std::string out = "\"";
    for (char c : Utf8(text, length)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Hex(const BYTE* data, DWORD size) {
    std::string out;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof(byte), i ? ",%02x" : "%02x", data[i]);
        out += byte;
    }
    return out;
}

// The string data of a value without its terminating NUL(s).
size_t StringLength(const std::vector<BYTE>& data, DWORD size) {
    size_t length = size / sizeof(wchar_t);
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    while (length > 0 && text[length - 1] == L'\0') --length;
    return length;
}

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    switch (type) {
    case REG_SZ:
        return Quoted(text, StringLength(data, size));
    case REG_EXPAND_SZ:
        return "expand:" + Quoted(text, StringLength(data, size));
    case REG_MULTI_SZ: {
        std::string out = "multi:";
        size_t length = StringLength(data, size);
        for (size_t start = 0; start < length;) {
            size_t end = start;
            while (end < length && text[end]) ++end;
            if (start) out += ",";
            out += Quoted(text + start, end - start);
            start = end + 1;
        }
        return out;
    }
    case REG_DWORD:
        if (size == 4) {
            char number[16];
            std::snprintf(number, sizeof(number), "dword:%08lx", *reinterpret_cast<const DWORD*>(data.data()));
            return number;
        }
        break;
    case REG_BINARY:
        return "hex:" + Hex(data.data(), size);
    }
    return "hex(" + std::to_string(type) + "):" + Hex(data.data(), size);
}

// Prints one key and its values, then its subkeys.
void ReportKey(HKEY key, const std::string& path) {
    std::printf("key\t%s\t\n", path.c_str());
    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0, longestSubkey = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 4);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            continue;
        std::string valueName = nameLength ? Utf8(name.data(), nameLength) : "(default)";
        std::printf("value\t%s\\%s\t%s\n", path.c_str(), valueName.c_str(), ValueText(type, data, size).c_str());
    }
    std::vector<wchar_t> subkey(longestSubkey + 2);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD length = static_cast<DWORD>(subkey.size());
        if (RegEnumKeyExW(key, i, subkey.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        HKEY child;
        if (RegOpenKeyExW(key, subkey.data(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        ReportKey(child, path + "\\" + Utf8(subkey.data(), length));
        RegCloseKey(child);
    }
}

void ReportTree(const std::string& path) {
    const std::string root = "HKLM\\";
    if (path.compare(0, root.size(), root) != 0) {
        std::fprintf(stderr, "seed_devices: only HKLM trees are reported, not %s\n", path.c_str());
        return;
    }
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path.substr(root.size())).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    ReportKey(key, path);
    RegCloseKey(key);
}

void ReportServices(const std::string& prefix) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) {
        Fail("OpenSCManagerA", "the local machine");
        return;
    }
    HKEY services;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", 0, KEY_READ, &services) ==
        ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof(name);
            if (RegEnumKeyExA(services, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, static_cast<int>(prefix.size()),
                               prefix.c_str(), static_cast<int>(prefix.size())) != CSTR_EQUAL)
                continue;
            std::string state = ServiceState(manager, name);
            if (!state.empty()) std::printf("service\t%s\t%s\n", name, state.c_str());
        }
        RegCloseKey(services);
    }
    CloseServiceHandle(manager);
}

int Report(int count, char** arguments) {
    ReportDevices();
    for (int i = 0; i + 1 < count; i += 2) {
        if (std::strcmp(arguments[i], "--key") == 0) {
            ReportTree(arguments[i + 1]);
        } else if (std::strcmp(arguments[i], "--services") == 0) {
            ReportServices(arguments[i + 1]);
        } else {
            std::fprintf(stderr, "seed_devices: unknown report option %s\n", arguments[i]);
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "seed") == 0) return Seed(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "report") == 0) return Report(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: seed_devices.exe seed <description file>\n"
                         "       seed_devices.exe report [--key <HKLM\\path>]... [--services <prefix>]\n");
    return 2;
}
