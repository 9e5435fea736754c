// The simulated device tree: its seeding and inspection API, and what the
// Setup API does with state a conformance test cannot set up (devices that
// are not connected, other tokens, WOW64, injected faults).
#include <gtest/gtest.h>
#include <setupapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr DWORD kGenFailure = 31;  // ERROR_GEN_FAILURE
const char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";
const char kModemClass[] = "{4d36e96d-e325-11ce-bfc1-08002be10318}";
const char kComposite[] = "USB\\VID_1A2B&PID_3C4D\\5&2A3B4C5D&0&1";
const char kInterface[] = "USB\\VID_1A2B&PID_3C4D&MI_00\\6&1F2E3D4C&0&0000";
const char kOtherPhone[] = "USB\\VID_1A2B&PID_3C4E\\5&11111111&0&2";

winsim::DeviceSeed Device(const char* id, std::vector<std::string> hardwareIds, bool present,
                          const char* classGuid = kUsbClass, const char* driver = "") {
    winsim::DeviceSeed seed;
    seed.instanceId = id;
    seed.hardwareIds = std::move(hardwareIds);
    seed.present = present;
    seed.classGuid = classGuid;
    seed.driver = driver;
    return seed;
}

// The instance IDs of a set's members, read back through the registry so
// that a test sees which device each member is.
std::vector<std::string> HardwareIdsOf(HDEVINFO set) {
    std::vector<std::string> ids;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        char buffer[256] = {};
        if (SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(buffer),
                                              sizeof buffer, nullptr))
            ids.push_back(buffer);
        else
            ids.push_back("<" + std::to_string(GetLastError()) + ">");
    }
    return ids;
}

class WinsimDevices : public ::testing::Test {
protected:
    void SetUp() override {
        m.devices.add(Device(kComposite, {"USB\\VID_1A2B&PID_3C4D&REV_0100", "USB\\VID_1A2B&PID_3C4D"}, false,
                             kUsbClass, "{36fc9e60-c465-11cf-8056-444553540000}\\0007"));
        m.devices.add(Device(kInterface, {"USB\\VID_1A2B&PID_3C4D&MI_00"}, true, kModemClass));
        m.devices.add(Device(kOtherPhone, {"USB\\VID_1A2B&PID_3C4E"}, true));
    }
    void TearDown() override {
        EXPECT_EQ(m.handles.openCount(), 0u);
        EXPECT_TRUE(m.unimplemented.empty());
    }

    SP_DEVINFO_DATA Member(HDEVINFO set, DWORD index) {
        SP_DEVINFO_DATA data = {};
        data.cbSize = sizeof data;
        EXPECT_TRUE(SetupDiEnumDeviceInfo(set, index, &data)) << GetLastError();
        return data;
    }

    winsim::Machine m;
};

}  // namespace

TEST_F(WinsimDevices, AnInstanceIsItsEnumKey) {
    const std::string key = "HKLM\\SYSTEM\\ControlSet001\\Enum\\" + std::string(kComposite);
    EXPECT_EQ(m.registry.multiString(key, "HardwareID"),
              (std::vector<std::string>{"USB\\VID_1A2B&PID_3C4D&REV_0100", "USB\\VID_1A2B&PID_3C4D"}));
    EXPECT_EQ(m.registry.string(key, "ClassGUID"), std::string(kUsbClass));
    EXPECT_EQ(m.registry.string(key, "Driver"), std::string("{36fc9e60-c465-11cf-8056-444553540000}\\0007"));
    // The registry's order: enumerator, device, instance, without regard to case.
    EXPECT_EQ(m.devices.list(), (std::vector<std::string>{kComposite, kInterface, kOtherPhone}));
    EXPECT_TRUE(m.devices.exists("usb\\vid_1a2b&pid_3c4d\\5&2a3b4c5d&0&1"));
    EXPECT_FALSE(m.devices.isPresent(kComposite));
    EXPECT_TRUE(m.devices.isPresent(kInterface));

    // Deleting the key is removing the device: there is no second record.
    m.registry.deleteKey(key);
    EXPECT_FALSE(m.devices.exists(kComposite));
    EXPECT_EQ(m.devices.list(), (std::vector<std::string>{kInterface, kOtherPhone}));
    // And an Enum key written straight into the registry is a device.
    m.registry.setMultiString("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ROOT\\LEGACY_X\\0000", "HardwareID", {"X"});
    EXPECT_TRUE(m.devices.exists("ROOT\\LEGACY_X\\0000"));
    EXPECT_FALSE(m.devices.isPresent("ROOT\\LEGACY_X\\0000"));

    EXPECT_THROW(m.devices.add(Device("USB\\VID_1", {}, false)), std::invalid_argument);
    EXPECT_THROW(m.devices.setPresent("USB\\NONE\\1", true), std::invalid_argument);
}

TEST_F(WinsimDevices, ClassDevsSnapshotsAllOrOnlyConnectedDevices) {
    HDEVINFO all = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(all, INVALID_HANDLE_VALUE);
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::DeviceInfoSet), 1u);
    // A device plugged in later is not a member: the set is a snapshot.
    m.devices.add(Device("USB\\VID_9999&PID_0001\\1", {"USB\\VID_9999&PID_0001"}, true));
    EXPECT_EQ(HardwareIdsOf(all), (std::vector<std::string>{"USB\\VID_1A2B&PID_3C4D&REV_0100",
                                                            "USB\\VID_1A2B&PID_3C4D&MI_00", "USB\\VID_1A2B&PID_3C4E"}));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(all));

    HDEVINFO present = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    ASSERT_NE(present, INVALID_HANDLE_VALUE);
    EXPECT_EQ(HardwareIdsOf(present), (std::vector<std::string>{"USB\\VID_1A2B&PID_3C4D&MI_00", "USB\\VID_1A2B&PID_3C4E",
                                                                "USB\\VID_9999&PID_0001"}));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(present));

    // Without DIGCF_ALLCLASSES the class decides, and the member carries it.
    GUID modem = {0x4d36e96d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    HDEVINFO modems = SetupDiGetClassDevsA(&modem, nullptr, nullptr, 0);
    ASSERT_NE(modems, INVALID_HANDLE_VALUE);
    EXPECT_EQ(HardwareIdsOf(modems), (std::vector<std::string>{"USB\\VID_1A2B&PID_3C4D&MI_00"}));
    EXPECT_EQ(Member(modems, 0).ClassGuid, modem);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(modems));

    SetLastError(kSentinel);
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(WinsimDevices, HardwareIdsReadInTwoCalls) {
    m.devices.add(Device("USB\\VID_0000&PID_0000\\7", {}, false));  // no HardwareID value
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA composite = Member(set, 1);  // USB\VID_0000... sorts first

    DWORD required = 0, type = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &composite, SPDRP_HARDWAREID, &type, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    const std::string expected("USB\\VID_1A2B&PID_3C4D&REV_0100\0USB\\VID_1A2B&PID_3C4D\0\0", 54);
    EXPECT_EQ(required, expected.size());
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

    std::vector<BYTE> buffer(required - 1, 0xCC);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &composite, SPDRP_HARDWAREID, nullptr, buffer.data(),
                                                   required - 1, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buffer[0], 0xCC) << "a buffer that is too small is left alone";

    buffer.assign(required, 0xCC);
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &composite, SPDRP_HARDWAREID, nullptr, buffer.data(), required,
                                                  nullptr));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected);

    // A device without hardware IDs: invalid data, and the size is not given.
    SP_DEVINFO_DATA bare = Member(set, 0);
    required = 77;
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &bare, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    // A size without a buffer, and a property number Windows does not know.
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &composite, SPDRP_HARDWAREID, nullptr, nullptr, 8, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &composite, 0x40, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(WinsimDevices, PropertySizesAreThoseOfTheAnsiText) {
    m.system.setJapanese();
    m.registry.setString(winsim::Devices::enumKeyPath(kInterface), "DeviceDesc", "モデム");
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data = Member(set, 1);
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_DEVICEDESC, nullptr, nullptr, 0, &required));
    EXPECT_EQ(required, 7u) << "three double-byte characters and the terminator in code page 932";
    char text[16] = {};
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_DEVICEDESC, nullptr, reinterpret_cast<BYTE*>(text),
                                                  sizeof text, nullptr));
    EXPECT_STREQ(text, "\x83\x82\x83\x66\x83\x80");
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(WinsimDevices, RemovalDeletesTheKeysAndKeepsTheMemberInPlace) {
    // A second instance of the composite device keeps its device key alive.
    m.devices.add(Device("USB\\VID_1A2B&PID_3C4D&MI_00\\6&2&0&0000", {"USB\\VID_1A2B&PID_3C4D&MI_00"}, false));
    m.registry.setString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{36fc9e60-c465-11cf-8056-444553540000}\\0007",
                         "InfPath", "oem3.inf");
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);

    // The composite device is not connected: it is removed all the same.
    SP_DEVINFO_DATA composite = Member(set, 0);
    SetLastError(kSentinel);
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &composite));
    EXPECT_FALSE(m.devices.exists(kComposite));
    EXPECT_FALSE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_3C4D"))
        << "a device key with no instance left goes";
    EXPECT_FALSE(m.registry.keyExists(
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{36fc9e60-c465-11cf-8056-444553540000}\\0007"))
        << "the driver (software) key goes with the device";
    EXPECT_TRUE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{36fc9e60-c465-11cf-8056-444553540000}"));
    // Its interfaces are instances of their own and stay.
    EXPECT_TRUE(m.devices.exists(kInterface));
    EXPECT_TRUE(m.devices.isPresent(kInterface));

    // The member is still at index 0; the rest keep their indexes.
    SP_DEVINFO_DATA again = Member(set, 0);
    EXPECT_EQ(again.DevInst, composite.DevInst);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &again, SPDRP_HARDWAREID, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &again));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));

    // A connected device is removed and is no longer present.
    SP_DEVINFO_DATA iface = Member(set, 1);
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &iface));
    EXPECT_FALSE(m.devices.exists(kInterface));
    EXPECT_FALSE(m.devices.isPresent(kInterface));
    EXPECT_TRUE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_3C4D&MI_00"));
    EXPECT_TRUE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB"));
    EXPECT_TRUE(m.devices.exists(kOtherPhone));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(WinsimDevices, ADeviceInUseIsRemovedAndAsksForARestart) {
    struct Row {
        winsim::StopRefusal inUse;
        DWORD flag;
    };
    for (const Row& row : {Row{winsim::StopRefusal::NeedsReboot, DWORD{DI_NEEDREBOOT}},
                           Row{winsim::StopRefusal::NeedsRestart, DWORD{DI_NEEDRESTART}}}) {
        winsim::Machine machine;
        winsim::DeviceSeed phone = Device(kInterface, {"USB\\VID_1A2B&PID_3C4D&MI_00"}, true, kModemClass);
        phone.inUse = row.inUse;
        machine.devices.add(phone);
        machine.devices.add(Device(kOtherPhone, {"USB\\VID_1A2B&PID_3C4E"}, true));
        HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
        ASSERT_NE(set, INVALID_HANDLE_VALUE);
        SP_DEVINFO_DATA data[2] = {Member(set, 0), Member(set, 1)};
        SP_DEVINSTALL_PARAMS_A params = {};
        params.cbSize = sizeof params;
        for (SP_DEVINFO_DATA& device : data) {
            ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &device));
            ASSERT_TRUE(SetupDiGetDeviceInstallParamsA(set, &device, &params)) << GetLastError();
            const bool inUse = device.DevInst == data[0].DevInst;
            EXPECT_EQ(params.Flags, inUse ? row.flag : 0u);
        }
        // The keys go at once; the device node waits for the restart.
        EXPECT_FALSE(machine.devices.exists(kInterface));
        EXPECT_EQ(machine.devices.removedAtRestart(), std::vector<std::string>{"USB\\VID_1A2B&PID_3C4D&MI_00\\6&1F2E3D4C&0&0000"});
        ASSERT_TRUE(SetupDiGetDeviceInstallParamsA(set, nullptr, &params));
        EXPECT_EQ(params.Flags, row.flag) << "the set's parameters carry the flag too";
        params.cbSize = 296;  // the 32-bit size is wrong in a 64-bit process
        SetLastError(kSentinel);
        EXPECT_FALSE(SetupDiGetDeviceInstallParamsA(set, nullptr, &params));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
        EXPECT_TRUE(machine.unimplemented.empty());
    }
}

TEST_F(WinsimDevices, RemovalIsRefusedToA32BitProcessAndToUsers) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA composite = Member(set, 0);

    m.system.process32 = true;
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &composite));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IN_WOW64));
    EXPECT_TRUE(m.devices.exists(kComposite));

    // It is WOW64 that refuses: on 32-bit Windows a 32-bit process is native.
    m.system.windows64 = false;
    m.token.process = winsim::TokenIdentity::denyOnlyAdministrator();
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &composite));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(m.devices.exists(kComposite));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(WinsimDevices, MembersAreCheckedAgainstTheirSet) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    HDEVINFO other = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof data - 4;
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    data.cbSize = sizeof data;
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 3, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

    // A member of another set is not one of this set's.
    SP_DEVINFO_DATA foreign = Member(other, 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &foreign));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(m.devices.exists(kComposite));

    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(other));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(other, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(WinsimDevices, InjectedFaultsFailEachCall) {
    m.faults.fail("SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY, 0);
    SetLastError(kSentinel);
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(m.handles.openCount(), 0u);

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data = Member(set, 0);
    m.faults.fail("SetupDiEnumDeviceInfo", kGenFailure);
    m.faults.fail("SetupDiGetDeviceRegistryPropertyA", ERROR_NOT_ENOUGH_MEMORY);
    m.faults.fail("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED);
    m.faults.fail("SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE, 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(kGenFailure));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(m.devices.exists(kComposite));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::DeviceInfoSet), 1u) << "a failed destroy keeps the set";
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(WinsimDevices, CreatedDevicesLastOnlyOnceRegistered) {
    const GUID bogus = {0x6a55b5a4, 0x3f65, 0x11db, {0xb7, 0x04, 0x00, 0x11, 0x95, 0x5c, 0x2b, 0xdb}};
    HDEVINFO set = SetupDiCreateDeviceInfoList(&bogus, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA kept = {}, dropped = {};
    kept.cbSize = dropped.cbSize = sizeof(SP_DEVINFO_DATA);
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "Test_Kept", &bogus, nullptr, nullptr, DICD_GENERATE_ID, &kept));
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "Test_Kept", &bogus, "second", nullptr, DICD_GENERATE_ID, &dropped));
    EXPECT_TRUE(m.devices.exists("ROOT\\TEST_KEPT\\0000"));
    EXPECT_EQ(m.registry.string(winsim::Devices::enumKeyPath("ROOT\\TEST_KEPT\\0001"), "DeviceDesc"),
              std::string("second"));
    EXPECT_EQ(m.registry.string(winsim::Devices::enumKeyPath("ROOT\\TEST_KEPT\\0000"), "ClassGUID"),
              std::string("{6a55b5a4-3f65-11db-b704-0011955c2bdb}"));
    const char ids[] = "ROOT\\TEST_KEPT\0";
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyA(set, &kept, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids),
                                                  sizeof ids));
    ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &kept, 0, nullptr, nullptr, nullptr));
    EXPECT_TRUE(m.devices.isPresent("ROOT\\TEST_KEPT\\0000"));
    EXPECT_FALSE(m.devices.isPresent("ROOT\\TEST_KEPT\\0001"));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    EXPECT_EQ(m.registry.multiString(winsim::Devices::enumKeyPath("ROOT\\TEST_KEPT\\0000"), "HardwareID"),
              (std::vector<std::string>{"ROOT\\TEST_KEPT"}));
    EXPECT_FALSE(m.devices.exists("ROOT\\TEST_KEPT\\0001")) << "an unregistered device goes with its set";
}
