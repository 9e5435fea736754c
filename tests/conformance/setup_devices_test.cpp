// The Setup API's device information functions as the device removal uses
// them, on phantom root devices that each test creates (under a made-up
// class and a hardware ID no real device has) and removes again:
// enumeration of all classes, the two-call hardware-ID read, a device
// without hardware IDs, DIF_REMOVE and the end of the enumeration.
// conformance.h brings <windows.h>, which MinGW's <setupapi.h> needs first.
#include "conformance.h"

#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// {5C7E1A9B-3D42-4F1E-9A6B-2E8D0C4F7A13}: no installed class has it.
const GUID kTestClass = {0x5c7e1a9b, 0x3d42, 0x4f1e, {0x9a, 0x6b, 0x2e, 0x8d, 0x0c, 0x4f, 0x7a, 0x13}};
const char kDeviceName[] = "CONFTEST_PHANTOM";
// The hardware-ID list as a multi-string: one ID, then the empty entry.
const char kHardwareIds[] = "ROOT\\CONFTEST_PHANTOM_5C7E1A9B\0";

SP_DEVINFO_DATA EmptyDeviceData() {
    SP_DEVINFO_DATA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    return data;
}

// The Setup API packs its structures to 1 byte on 32-bit Windows and to 8
// on 64-bit Windows; the size is the structure's version check.
static_assert(sizeof(SP_DEVINSTALL_PARAMS_A) == (sizeof(void*) == 8 ? 320 : 296),
              "SP_DEVINSTALL_PARAMS_A has Windows' size");

// The class key a test installs for its class, under Control\Class.
const char kTestClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{5C7E1A9B-3D42-4F1E-9A6B-2E8D0C4F7A13}";

// The device's class name (SPDRP_CLASS), or "<error N>".
std::string ClassName(HDEVINFO set, SP_DEVINFO_DATA* device) {
    char name[64] = {};
    SetLastError(kSentinelError);
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_CLASS, nullptr, reinterpret_cast<BYTE*>(name),
                                           sizeof name - 1, nullptr))
        return "<error " + std::to_string(GetLastError()) + ">";
    return name;
}

// The device's hardware-ID list read as the product reads it (size query,
// then the read), or "<error N>".
std::string HardwareIds(HDEVINFO set, SP_DEVINFO_DATA* device) {
    DWORD required = 0;
    if (SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required))
        return "<no error for an empty buffer>";
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return "<error " + std::to_string(GetLastError()) + ">";
    std::vector<BYTE> buffer(required);
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr, buffer.data(), required, nullptr))
        return "<error " + std::to_string(GetLastError()) + ">";
    return std::string(buffer.begin(), buffer.end());
}

const std::string kExpectedIds(kHardwareIds, sizeof kHardwareIds);

// Creates and registers a root device of the test class with the test's
// hardware ID; false (with a test failure) when any step fails.
bool CreatePhantomDevice() {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
    EXPECT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device = EmptyDeviceData();
    bool ok = SetupDiCreateDeviceInfoA(set, kDeviceName, &kTestClass, nullptr, nullptr, DICD_GENERATE_ID, &device) &&
              SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                reinterpret_cast<const BYTE*>(kHardwareIds), sizeof kHardwareIds) &&
              SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
    EXPECT_TRUE(ok) << "creating the phantom device failed with " << GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

// Removes every device that has the test's hardware ID; returns how many.
int RemoveTestDevices() {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    SP_DEVINFO_DATA device = EmptyDeviceData();
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i)
        if (HardwareIds(set, &device) == kExpectedIds && SetupDiCallClassInstaller(DIF_REMOVE, set, &device))
            ++removed;
    SetupDiDestroyDeviceInfoList(set);
    return removed;
}

class SetupDevices : public testing::Test {
protected:
    void SetUp() override { RemoveTestDevices(); }  // left over from an interrupted run
    void TearDown() override {
        RemoveTestDevices();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestClassKey);
    }
};

}  // namespace

TEST_F(SetupDevices, APhantomDeviceIsEnumeratedReadAndRemoved) {
    ASSERT_TRUE(CreatePhantomDevice());

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    DWORD index = 0, found = 0, foundAt = 0;
    for (; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        DWORD required = 0;
        SetLastError(kSentinelError);
        const BOOL read =
            SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required);
        if (read || GetLastError() != ERROR_INSUFFICIENT_BUFFER) continue;  // no hardware IDs, and the like
        if (HardwareIds(set, &device) != kExpectedIds) continue;
        ++found;
        foundAt = index;
        // The size query gives the size of the whole multi-string in bytes.
        EXPECT_EQ(required, static_cast<DWORD>(sizeof kHardwareIds));
        EXPECT_TRUE(device.ClassGuid == kTestClass);
        // The instance ID, in characters with the terminator, by the same
        // two calls.
        char id[256] = {};
        DWORD idSize = 0;
        SetLastError(kSentinelError);
        EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(set, &device, nullptr, 0, &idSize));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(set, &device, id, idSize, nullptr)) << GetLastError();
        EXPECT_EQ(idSize, static_cast<DWORD>(lstrlenA(id)) + 1);
        EXPECT_EQ(lstrcmpiA(std::string(id).substr(0, 22).c_str(), "ROOT\\CONFTEST_PHANTOM\\"), 0) << id;

        SetLastError(kSentinelError);
        const BOOL removedOk = SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
        if (conformance::Is32BitProcess()) {
            // Class installers run in a native process only: Windows refuses
            // a 32-bit program in WOW64. Wine removes the device.
            EXPECT_WINDOWS_OR_WINE(!removedOk && GetLastError() == static_cast<DWORD>(ERROR_IN_WOW64), removedOk);
        } else {
            EXPECT_TRUE(removedOk) << GetLastError();
        }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(found, 1u);
    if (conformance::Is32BitProcess() && !conformance::RunningOnWine()) {
        // The device stays: only a 64-bit program can remove it.
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
        return;
    }

    // The removed device keeps its place in the set, and calls on it fail.
    SP_DEVINFO_DATA removed = EmptyDeviceData();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, foundAt, &removed));
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &removed, SPDRP_HARDWAREID, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(set, &removed, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, index, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    // A new enumeration no longer has it.
    EXPECT_EQ(RemoveTestDevices(), 0);
}

TEST_F(SetupDevices, ABufferOneByteShortIsRefusedWithTheSize) {
    ASSERT_TRUE(CreatePhantomDevice());
    HDEVINFO set = SetupDiGetClassDevsA(&kTestClass, nullptr, nullptr, 0);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device)) << GetLastError();
    char buffer[sizeof kHardwareIds] = {};
    DWORD required = 0;
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr,
                                                   reinterpret_cast<BYTE*>(buffer), sizeof buffer - 1, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, static_cast<DWORD>(sizeof kHardwareIds));

    DWORD type = 0;
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type,
                                                  reinterpret_cast<BYTE*>(buffer), sizeof buffer, &required));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(std::string(buffer, sizeof buffer), kExpectedIds);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupDevices, ADeviceWithoutHardwareIdsGivesInvalidData) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kDeviceName, &kTestClass, nullptr, nullptr, DICD_GENERATE_ID, &device))
        << GetLastError();
    DWORD required = 0;
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    // A device that was never registered leaves with its set.
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    set = SetupDiGetClassDevsA(&kTestClass, nullptr, nullptr, 0);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupDevices, EnumerationChecksTheStructureSize) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kDeviceName, &kTestClass, nullptr, nullptr, DICD_GENERATE_ID, &device));

    SP_DEVINFO_DATA wrong = EmptyDeviceData();
    wrong.cbSize = sizeof wrong + 1;
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &wrong));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    SP_DEVINFO_DATA first = EmptyDeviceData();
    EXPECT_TRUE(SetupDiEnumDeviceInfo(set, 0, &first));
    EXPECT_EQ(first.DevInst, device.DevInst);
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 1, &first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SetupDevices, ARegisteredRootDeviceIsInTheRunningTree) {
    ASSERT_TRUE(CreatePhantomDevice());
    // Registering creates the device node, so DIGCF_PRESENT lists it.
    HDEVINFO set = SetupDiGetClassDevsA(&kTestClass, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device)) << GetLastError();
    EXPECT_EQ(HardwareIds(set, &device), kExpectedIds);
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 1, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupDevices, InstallParamsSayWhetherARemovalNeedsARestart) {
    ASSERT_TRUE(CreatePhantomDevice());
    HDEVINFO set = SetupDiGetClassDevsA(&kTestClass, nullptr, nullptr, 0);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device)) << GetLastError();

    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof params);
    params.cbSize = sizeof params - 1;
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupDiGetDeviceInstallParamsA(set, &device, &params));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    if (conformance::Is32BitProcess() && !conformance::RunningOnWine()) {
        // Only a 64-bit program removes devices on 64-bit Windows (the
        // refusal is stated above).
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
        return;
    }
    // A root device that nothing holds stops at once: nothing waits for a
    // restart. Callers read the parameters of the element they removed.
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &device)) << GetLastError();
    params.cbSize = sizeof params;
    SetLastError(kSentinelError);
    const BOOL read = SetupDiGetDeviceInstallParamsA(set, &device, &params);
    EXPECT_WINDOWS_OR_WINE(read && !(params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)),
                           !read && GetLastError() == static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    // Without an element the set's own parameters are read (Wine has none).
    SetLastError(kSentinelError);
    const BOOL setRead = SetupDiGetDeviceInstallParamsA(set, nullptr, &params);
    EXPECT_WINDOWS_OR_WINE(setRead && !(params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)),
                           !setRead && GetLastError() == static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    SetLastError(kSentinelError);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(SetupDevices, TheClassNameComesFromTheInstalledClass) {
    ASSERT_TRUE(CreatePhantomDevice());
    HDEVINFO set = SetupDiGetClassDevsA(&kTestClass, nullptr, nullptr, 0);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device = EmptyDeviceData();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device)) << GetLastError();
    // A class that is not installed has no name.
    EXPECT_EQ(ClassName(set, &device), "<error " + std::to_string(ERROR_INVALID_DATA) + ">");

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const char name[] = "ConfTestClass";
    EXPECT_EQ(RegSetValueExA(key, "Class", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string read = ClassName(set, &device);
    EXPECT_WINDOWS_OR_WINE(read == name, read == "<error " + std::to_string(ERROR_INVALID_DATA) + ">");
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}
