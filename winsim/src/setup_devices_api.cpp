// The device information functions of SETUPAPI over the simulated device
// tree (winsim/devices.h).
//
// A device information set is a snapshot: SetupDiGetClassDevsA lists the
// instances that exist when it is called, and later changes to the
// registry do not add or drop members. Each member carries the id of its
// device node in SP_DEVINFO_DATA.Reserved (and DevInst), so a structure
// from another set is refused.
//
// DIF_REMOVE leaves the member in the set, at the same index, and marks it
// removed: every later call on it fails with ERROR_NO_SUCH_DEVINST. Wine's
// tests show this on Windows (SetupDiEnumDeviceInfo still returns the
// member; SetupDiGetDeviceInstanceId on it fails with that code), and it
// is why a caller may go on counting indexes after a removal.
//
// A member keeps its install parameters after DIF_REMOVE: the default
// handler reports there that the device could not be stopped
// (DI_NEEDREBOOT or DI_NEEDRESTART), and callers read them right after the
// removal, so SetupDiGetDeviceInstallParamsA still answers for it.
//
// The functions set the last error on failure only; on success they leave
// it as it was, except SetupDiDestroyDeviceInfoList, which sets it to 0.
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codepage.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

// Windows limits device instance IDs to 200 characters with the
// terminator (MAX_DEVICE_ID_LEN in cfgmgr32.h).
constexpr size_t kMaxDeviceIdLength = 200;
constexpr DWORD kKnownClassDevsFlags = DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE |
                                       DIGCF_DEVICEINTERFACE;

struct Member {
    DWORD devNode = 0;  // also SP_DEVINFO_DATA.Reserved
    std::string instanceId;  // UTF-8
    GUID classGuid{};
    bool removed = false;
    DWORD installFlags = 0;  // SP_DEVINSTALL_PARAMS_A.Flags
    // A member made by SetupDiCreateDeviceInfoA that SetupDiRegisterDeviceInfo
    // has not made permanent: its key goes with the set.
    bool registered = true;
};

struct DeviceInfoSet : winsim::KernelObject {
    GUID classGuid{};  // all zero: the set has no class
    DWORD installFlags = 0;  // the set's own install parameters
    std::vector<Member> members;
};

bool isNullGuid(const GUID& guid) { return guid == GUID{}; }

std::string guidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in either case; a value in any
// other form gives the null GUID, as a device without a class has.
GUID parseGuid(const std::string& text) {
    GUID g{};
    unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    char close = 0;
    if (text.size() != 38 ||
        std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &d1, &d2, &d3, &b[0], &b[1], &b[2],
                    &b[3], &b[4], &b[5], &b[6], &b[7], &close) != 12 ||
        close != '}')
        return GUID{};
    g.Data1 = d1;
    g.Data2 = static_cast<WORD>(d2);
    g.Data3 = static_cast<WORD>(d3);
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(b[i]);
    return g;
}

bool fail(Machine& m, DWORD error) {
    m.lastError = error;
    return false;
}

HDEVINFO failHandle(Machine& m, DWORD error) {
    m.lastError = error;
    return INVALID_HANDLE_VALUE;
}

std::shared_ptr<DeviceInfoSet> findSet(Machine& m, HDEVINFO handle) {
    return m.handles.get<DeviceInfoSet>(handle, winsim::HandleKind::DeviceInfoSet);
}

// The member a caller's SP_DEVINFO_DATA names, or null with the error the
// Setup API gives: a structure of the wrong size or from another set is an
// invalid parameter; a removed device no longer exists.
Member* findMember(Machine& m, DeviceInfoSet& set, const SP_DEVINFO_DATA* data, DWORD& error) {
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || !data->Reserved) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    for (Member& member : set.members) {
        if (member.devNode != data->Reserved) continue;
        if (member.removed || !m.devices.exists(member.instanceId)) {
            error = ERROR_NO_SUCH_DEVINST;
            return nullptr;
        }
        return &member;
    }
    error = ERROR_INVALID_PARAMETER;
    return nullptr;
}

// The member a caller's SP_DEVINFO_DATA names, removed or not.
Member* findMemberOrRemoved(DeviceInfoSet& set, const SP_DEVINFO_DATA* data) {
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || !data->Reserved) return nullptr;
    for (Member& member : set.members)
        if (member.devNode == data->Reserved) return &member;
    return nullptr;
}

void fillDeviceData(SP_DEVINFO_DATA* data, const Member& member) {
    data->ClassGuid = member.classGuid;
    data->DevInst = member.devNode;
    data->Reserved = member.devNode;
}

// The key under Control\Class of the member's class; empty when the
// device has no class GUID.
std::string classKeyPath(Machine& m, const Member& member) {
    auto guid = m.registry.string(winsim::Devices::enumKeyPath(member.instanceId), "ClassGUID");
    if (!guid || isNullGuid(parseGuid(*guid))) return std::string();
    return std::string(winsim::Devices::kClassKey) + "\\" + *guid;
}

// The registry value behind each property that winsim models.
const char* propertyValueName(DWORD property) {
    switch (property) {
    case SPDRP_DEVICEDESC: return "DeviceDesc";
    case SPDRP_HARDWAREID: return "HardwareID";
    case SPDRP_COMPATIBLEIDS: return "CompatibleIDs";
    case SPDRP_SERVICE: return "Service";
    case SPDRP_CLASS: return "Class";
    case SPDRP_CLASSGUID: return "ClassGUID";
    case SPDRP_DRIVER: return "Driver";
    case SPDRP_FRIENDLYNAME: return "FriendlyName";
    default: return nullptr;
    }
}

// The properties SetupDiGetDeviceRegistryPropertyA knows (SPDRP_DEVICEDESC
// through SPDRP_MAXIMUM_PROPERTY); others are ERROR_INVALID_REG_PROPERTY.
constexpr DWORD kPropertyCount = 0x25;

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string wideFromRegData(const std::vector<BYTE>& data) {
    std::u16string wide(data.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return wide;
}

std::vector<BYTE> regDataFromWide(const std::u16string& wide) {
    std::vector<BYTE> data;
    for (char16_t unit : wide) {
        data.push_back(static_cast<BYTE>(unit & 0xFF));
        data.push_back(static_cast<BYTE>(unit >> 8));
    }
    return data;
}

// ANSI bytes to UTF-16 as MultiByteToWideChar(CP_ACP, 0) converts them: a
// byte sequence without a mapping becomes '?' and the rest is kept.
std::u16string wideFromAnsi(const std::string& ansi, UINT codePage) {
    if (auto wide = winsim::toUtf16(ansi, codePage)) return *wide;
    std::u16string out;
    for (size_t i = 0; i < ansi.size();) {
        size_t n = 1;
        if (winsim::isLeadByte(codePage, static_cast<unsigned char>(ansi[i])) && i + 1 < ansi.size()) n = 2;
        auto piece = winsim::toUtf16(ansi.substr(i, n), codePage);
        out += piece ? *piece : u"?";
        i += n;
    }
    return out;
}

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The members a new set starts with: every instance of the device tree,
// of the class asked for unless all classes are, and connected if only
// present devices are asked for.
void snapshot(Machine& m, DeviceInfoSet& set, const GUID* classFilter, bool presentOnly) {
    for (const std::string& id : m.devices.list()) {
        if (presentOnly && !m.devices.isPresent(id)) continue;
        Member member;
        member.instanceId = id;
        if (auto text = m.registry.string(winsim::Devices::enumKeyPath(id), "ClassGUID"))
            member.classGuid = parseGuid(*text);
        if (classFilter && member.classGuid != *classFilter) continue;
        member.devNode = static_cast<DWORD>(m.devices.allocateDevNode());
        set.members.push_back(member);
    }
}

}  // namespace

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiCreateDeviceInfoList")) return failHandle(m, e);
    (void)hwndParent;  // only used for user interface, which winsim never shows
    auto set = std::make_shared<DeviceInfoSet>();
    if (ClassGuid) set->classGuid = *ClassGuid;
    return m.handles.add(winsim::HandleKind::DeviceInfoSet, set);
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, LPCSTR Enumerator, HWND hwndParent, DWORD Flags) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiGetClassDevsA")) return failHandle(m, e);
    (void)hwndParent;
    if ((Flags & ~kKnownClassDevsFlags) || (Flags & (DIGCF_DEFAULT | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE))) {
        winsim::notImplemented("SetupDiGetClassDevsA with DIGCF_DEFAULT, DIGCF_PROFILE or DIGCF_DEVICEINTERFACE");
        return INVALID_HANDLE_VALUE;
    }
    if (Enumerator) {
        winsim::notImplemented("SetupDiGetClassDevsA with an enumerator");
        return INVALID_HANDLE_VALUE;
    }
    const bool allClasses = (Flags & DIGCF_ALLCLASSES) != 0;
    if (!allClasses && !ClassGuid) return failHandle(m, ERROR_INVALID_PARAMETER);

    auto set = std::make_shared<DeviceInfoSet>();
    if (!allClasses) set->classGuid = *ClassGuid;
    snapshot(m, *set, allClasses ? nullptr : ClassGuid, (Flags & DIGCF_PRESENT) != 0);
    return m.handles.add(winsim::HandleKind::DeviceInfoSet, set);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiEnumDeviceInfo")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    if (!DeviceInfoData) return fail(m, ERROR_INVALID_PARAMETER);
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(m, ERROR_INVALID_USER_BUFFER);
    if (MemberIndex >= set->members.size()) return fail(m, ERROR_NO_MORE_ITEMS);
    // Removed members are still listed: the set is a snapshot.
    fillDeviceData(DeviceInfoData, set->members[MemberIndex]);
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiGetDeviceRegistryPropertyA")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    DWORD error = 0;
    Member* member = findMember(m, *set, DeviceInfoData, error);
    if (!member) return fail(m, error);
    if (Property >= kPropertyCount) return fail(m, ERROR_INVALID_REG_PROPERTY);
    const char* valueName = propertyValueName(Property);
    if (!valueName) {
        winsim::notImplemented("SetupDiGetDeviceRegistryPropertyA of property " + std::to_string(Property));
        return FALSE;
    }
    // A size without a buffer is refused before the property is looked at.
    if (!PropertyBuffer && PropertyBufferSize) return fail(m, ERROR_INVALID_DATA);

    // The class name is the Class value of the device's class key: a device
    // without a class, or of a class that is not installed, has none
    // (Wine's tests show ERROR_INVALID_DATA for such a device on Windows).
    const std::string key = Property == SPDRP_CLASS ? classKeyPath(m, *member)
                                                     : winsim::Devices::enumKeyPath(member->instanceId);
    auto value = key.empty() ? std::nullopt : m.registry.value(key, valueName);
    // A property the device does not have reads as invalid data.
    if (!value) return fail(m, ERROR_INVALID_DATA);
    // The ANSI function gives strings in the ANSI code page, and its sizes
    // are those of the converted data (Wine's tests show sizeof("Bogus")
    // for a friendly name "Bogus" on Windows).
    std::string data;
    if (isStringType(value->type))
        data = winsim::fromUtf16(wideFromRegData(value->data), m.system.acp);
    else
        data.assign(value->data.begin(), value->data.end());
    const DWORD size = static_cast<DWORD>(data.size());
    if (RequiredSize) *RequiredSize = size;
    if (PropertyRegDataType) *PropertyRegDataType = value->type;
    if (!PropertyBuffer || PropertyBufferSize < size) return fail(m, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(PropertyBuffer, data.data(), size);
    return TRUE;
}

// Sizes are in characters, the terminator included; the required size is
// reported whether or not the buffer holds the ID.
BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        LPSTR DeviceInstanceId, DWORD DeviceInstanceIdSize, PDWORD RequiredSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiGetDeviceInstanceIdA")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    DWORD error = 0;
    const Member* member = findMember(m, *set, DeviceInfoData, error);
    if (!member) return fail(m, error);
    if (!DeviceInstanceId && DeviceInstanceIdSize) {
        winsim::notImplemented("SetupDiGetDeviceInstanceIdA with a size and no buffer");
        return FALSE;
    }
    const std::string id = winsim::utf8ToAcp(member->instanceId);
    const DWORD size = static_cast<DWORD>(id.size()) + 1;
    if (RequiredSize) *RequiredSize = size;
    if (DeviceInstanceIdSize < size) return fail(m, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DeviceInstanceId, id.c_str(), size);
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiCallClassInstaller")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    // Class installers run in the native process only: a 32-bit program on
    // 64-bit Windows is refused for every DIF code.
    if (m.system.wow64()) return fail(m, ERROR_IN_WOW64);
    if (InstallFunction != DIF_REMOVE) {
        winsim::notImplemented("SetupDiCallClassInstaller with DIF code " + std::to_string(InstallFunction));
        return FALSE;
    }
    if (!DeviceInfoData) {
        winsim::notImplemented("SetupDiCallClassInstaller(DIF_REMOVE) for the set's class");
        return FALSE;
    }
    DWORD error = 0;
    Member* member = findMember(m, *set, DeviceInfoData, error);
    if (!member) return fail(m, error);
    if (!member->registered) {
        winsim::notImplemented("SetupDiCallClassInstaller(DIF_REMOVE) of a device that is not registered");
        return FALSE;
    }
    // The default handler, SetupDiRemoveDevice, is for administrators only.
    if (!m.token.effective().hasAdministratorRights()) return fail(m, ERROR_ACCESS_DENIED);
    // No class installer or co-installer is modelled: the default handler
    // removes the device, connected or not. A driver that cannot stop
    // keeps the device node until the next restart; the handler still
    // succeeds, and flags in the install parameters of the element and of
    // the set ask the caller to restart Windows.
    const winsim::StopRefusal refusal = m.devices.remove(member->instanceId);
    member->removed = true;
    const DWORD flag = refusal == winsim::StopRefusal::NeedsReboot    ? DI_NEEDREBOOT
                       : refusal == winsim::StopRefusal::NeedsRestart ? DI_NEEDRESTART
                                                                      : 0;
    member->installFlags |= flag;
    set->installFlags |= flag;
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiDestroyDeviceInfoList")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    // Devices created in this set and never registered leave with it.
    for (const Member& member : set->members)
        if (!member.registered && !member.removed && m.devices.exists(member.instanceId))
            m.devices.remove(member.instanceId);
    m.handles.close(DeviceInfoSet, winsim::HandleKind::DeviceInfoSet);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                           PSP_DEVINSTALL_PARAMS_A DeviceInstallParams) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiGetDeviceInstallParamsA")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    const Member* member = nullptr;
    if (DeviceInfoData) {
        member = findMemberOrRemoved(*set, DeviceInfoData);
        if (!member) return fail(m, ERROR_INVALID_PARAMETER);
    }
    if (!DeviceInstallParams) return fail(m, ERROR_INVALID_PARAMETER);
    // The structure's size must be this build's size exactly.
    if (DeviceInstallParams->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) return fail(m, ERROR_INVALID_USER_BUFFER);
    std::memset(DeviceInstallParams, 0, sizeof(SP_DEVINSTALL_PARAMS_A));
    DeviceInstallParams->cbSize = sizeof(SP_DEVINSTALL_PARAMS_A);
    DeviceInstallParams->Flags = member ? member->installFlags : set->installFlags;
    return TRUE;
}

BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, LPCSTR DeviceName, const GUID* ClassGuid,
                                     LPCSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiCreateDeviceInfoA")) return fail(m, e);
    (void)hwndParent;
    // The name is checked before the handle (Wine's tests, run on Windows).
    if (!DeviceName || std::strlen(DeviceName) >= kMaxDeviceIdLength) return fail(m, ERROR_INVALID_DEVINST_NAME);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    if (!ClassGuid) return fail(m, ERROR_INVALID_PARAMETER);
    if (!isNullGuid(set->classGuid) && *ClassGuid != set->classGuid) return fail(m, ERROR_CLASS_MISMATCH);
    if (CreationFlags & ~static_cast<DWORD>(DICD_GENERATE_ID)) {
        winsim::notImplemented("SetupDiCreateDeviceInfoA with flags other than DICD_GENERATE_ID");
        return FALSE;
    }
    if (!m.token.effective().hasAdministratorRights()) return fail(m, ERROR_ACCESS_DENIED);

    const std::string name = winsim::acpToUtf8(DeviceName);
    std::string id;
    if (CreationFlags & DICD_GENERATE_ID) {
        // A root-enumerated device ID without enumerator and instance: the
        // system adds "ROOT\" and the first free four-digit instance number.
        if (name.find('\\') != std::string::npos) return fail(m, ERROR_INVALID_DEVINST_NAME);
        for (unsigned number = 0; number <= 9999 && id.empty(); ++number) {
            char instance[8];
            std::snprintf(instance, sizeof instance, "%04u", number);
            const std::string candidate = "ROOT\\" + upperAscii(name) + "\\" + instance;
            if (!m.devices.exists(candidate)) id = candidate;
        }
        if (id.empty()) return fail(m, ERROR_INVALID_DEVINST_NAME);
    } else {
        const size_t first = name.find('\\');
        const size_t second = first == std::string::npos ? first : name.find('\\', first + 1);
        if (second == std::string::npos || name.find('\\', second + 1) != std::string::npos)
            return fail(m, ERROR_INVALID_DEVINST_NAME);
        id = upperAscii(name);
        if (m.devices.exists(id)) return fail(m, ERROR_DEVINST_ALREADY_EXISTS);
    }

    // The new device is written to the registry at once (its properties
    // live there), but stays a phantom of this set until it is registered.
    winsim::DeviceSeed seed;
    seed.instanceId = id;
    seed.classGuid = guidText(*ClassGuid);
    m.devices.add(seed);
    if (DeviceDescription)
        m.registry.setString(winsim::Devices::enumKeyPath(id), "DeviceDesc", winsim::acpToUtf8(DeviceDescription));
    Member member;
    member.devNode = static_cast<DWORD>(m.devices.allocateDevNode());
    member.instanceId = id;
    member.classGuid = *ClassGuid;
    member.registered = false;
    set->members.push_back(member);
    // A structure of the wrong size is refused after the member was added.
    if (DeviceInfoData) {
        if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(m, ERROR_INVALID_USER_BUFFER);
        fillDeviceData(DeviceInfoData, member);
    }
    return TRUE;
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              DWORD Property, const BYTE* PropertyBuffer, DWORD PropertyBufferSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiSetDeviceRegistryPropertyA")) return fail(m, e);
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    DWORD error = 0;
    Member* member = findMember(m, *set, DeviceInfoData, error);
    if (!member) return fail(m, error);
    if (Property >= kPropertyCount) return fail(m, ERROR_INVALID_REG_PROPERTY);
    if (Property != SPDRP_HARDWAREID && Property != SPDRP_COMPATIBLEIDS && Property != SPDRP_FRIENDLYNAME &&
        Property != SPDRP_DEVICEDESC) {
        winsim::notImplemented("SetupDiSetDeviceRegistryPropertyA of property " + std::to_string(Property));
        return FALSE;
    }
    // Hardware and compatible IDs of other devices come from their bus
    // driver; only root-enumerated devices take them from the caller.
    const bool idList = Property == SPDRP_HARDWAREID || Property == SPDRP_COMPATIBLEIDS;
    if (idList && upperAscii(member->instanceId.substr(0, 5)) != "ROOT\\") {
        winsim::notImplemented("SetupDiSetDeviceRegistryPropertyA of hardware IDs of a device not under ROOT");
        return FALSE;
    }
    if (!PropertyBuffer && PropertyBufferSize) return fail(m, ERROR_INVALID_DATA);
    if (!m.token.effective().hasAdministratorRights()) return fail(m, ERROR_ACCESS_DENIED);

    const std::string key = winsim::Devices::enumKeyPath(member->instanceId);
    const char* valueName = propertyValueName(Property);
    // No buffer clears the property.
    if (!PropertyBuffer) {
        m.registry.deleteValue(key, valueName);
        return TRUE;
    }
    const std::string ansi(reinterpret_cast<const char*>(PropertyBuffer), PropertyBufferSize);
    m.registry.setValue(key, valueName, idList ? REG_MULTI_SZ : REG_SZ,
                        regDataFromWide(wideFromAnsi(ansi, m.system.acp)));
    return TRUE;
}

BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Flags,
                                      PVOID CompareProc, PVOID CompareContext, PSP_DEVINFO_DATA DupDeviceInfoData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupDiRegisterDeviceInfo")) return fail(m, e);
    (void)CompareContext;
    (void)DupDeviceInfoData;
    auto set = findSet(m, DeviceInfoSet);
    if (!set) return fail(m, ERROR_INVALID_HANDLE);
    DWORD error = 0;
    Member* member = findMember(m, *set, DeviceInfoData, error);
    if (!member) return fail(m, error);
    if (Flags || CompareProc) {
        winsim::notImplemented("SetupDiRegisterDeviceInfo with a duplicate search");
        return FALSE;
    }
    if (!m.token.effective().hasAdministratorRights()) return fail(m, ERROR_ACCESS_DENIED);
    // Registering creates the device node of a root-enumerated device in
    // the running tree, so it counts as present until it is removed.
    if (!member->registered) {
        member->registered = true;
        m.devices.setPresent(member->instanceId, true);
    }
    return TRUE;
}
