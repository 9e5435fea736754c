// The removal sequence: which steps run on which Windows, in which order,
// and what the sequence reports.
#include <algorithm>

#include "app/environment.h"
#include "earlier_installation.h"
#include "product_fixture.h"
#include "removal/remove_drivers.h"

namespace {

using seeded::kDriversDir;
using seeded::kMetadataJaJp;
using seeded::ProductKey;

struct Release {
    int code;
    void (winsim::SystemInfo::*preset)();
};

const Release kReleases[] = {
    {0, &winsim::SystemInfo::setWindows95},     {1, &winsim::SystemInfo::setWindows98},
    {2, &winsim::SystemInfo::setWindowsMe},     {10, &winsim::SystemInfo::setNt4},
    {11, &winsim::SystemInfo::setWindows2000},  {12, &winsim::SystemInfo::setXp},
    {13, &winsim::SystemInfo::setServer2003},   {14, &winsim::SystemInfo::setVista},
    {15, &winsim::SystemInfo::setWindows7},     {16, &winsim::SystemInfo::setServer2008},
    {17, &winsim::SystemInfo::setServer2008R2}, {18, &winsim::SystemInfo::setWindows10},
};

class RemovalSequenceTest : public ProductTest {
protected:
    void Prepare(const Release& release) {
        (m.system.*release.preset)();
        m.system.setJapanese();
        earlier_ = seeded::SeedEarlierInstallation(m, /*xp=*/true);
        foreign_.Seed(m);
        InitContext();
        m.faults.clear();  // the call log starts with the sequence
    }
    long FirstCall(const std::string& api) const {
        const auto& log = m.faults.callLog();
        auto it = std::find(log.begin(), log.end(), api);
        return it == log.end() ? -1 : static_cast<long>(it - log.begin());
    }
    long LastCall(const std::string& api) const {
        const auto& log = m.faults.callLog();
        auto it = std::find(log.rbegin(), log.rend(), api);
        return it == log.rend() ? -1 : static_cast<long>(log.rend() - it - 1);
    }
    bool PhoneDriverFileLeft() const {
        for (const auto& file : seeded::kPhoneDriverFiles)
            if (m.files.exists(std::string(kDriversDir) + "\\" + file)) return true;
        return false;
    }
    bool LastGoodCopyLeft() const {
        return m.files.exists("C:\\WINDOWS\\LastGood\\system32\\drivers\\qtx0bus.sys");
    }
    bool PhonePackageLeft() {
        for (const auto& name : earlier_.publishedPackages)
            if (m.driverStore.find(m.files, name)) return true;
        return false;
    }
    bool MetadataLeft() const {
        return m.files.exists(std::string(kMetadataJaJp) + "\\" + seeded::kMetadataPackages[0]);
    }

    seeded::EarlierInstallation earlier_;
    seeded::ForeignLookAlikes foreign_;
};

class StepsByCodeTest : public RemovalSequenceTest, public ::testing::WithParamInterface<Release> {};

TEST_P(StepsByCodeTest, EachReleaseGetsItsSteps) {
    const Release& release = GetParam();
    Prepare(release);
    const int result = RemoveDrivers(release.code);
    const bool nt5 = release.code >= 11 && release.code <= 13;
    const bool vista = release.code >= 14;

    // Every path clears the flag and tells the launchers. NT 4.0 and
    // Windows 2000 refuse the view flag of this (64-bit) build; only the
    // i686 build runs there, and sysaccess/reg_key.h makes sure when it
    // compiles that it passes none.
    if (release.code != 10 && release.code != 11) {
        EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));
    }
    EXPECT_EQ(m.ui.window(earlier_.launcher)->received.size(), 1u);
    EXPECT_EQ(PhoneDriverFileLeft(), !(nt5 || vista));
    EXPECT_EQ(LastGoodCopyLeft(), release.code != 12);
    EXPECT_EQ(m.devices.exists(seeded::kPhoneDevices[0]), !(nt5 || vista));
    EXPECT_EQ(m.services.exists("qtx0bus"), !(nt5 || vista));
    EXPECT_EQ(PhonePackageLeft(), !(nt5 || vista));
    EXPECT_EQ(m.processes.starts.size(), vista ? 3u : 0u);
    // Server 2008 is a 6.0 system: it has no device-metadata store, so the
    // metadata step finds nothing to remove and fails the sequence.
    const bool metadataStore = release.code >= 15 && release.code != 16;
    EXPECT_EQ(MetadataLeft(), !metadataStore);
    EXPECT_EQ(FirstCall("SHGetKnownFolderPath") >= 0, release.code >= 15);
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(result != 0, release.code != 16);
    foreign_.ExpectUnchanged(m);
}

INSTANTIATE_TEST_SUITE_P(AllReleases, StepsByCodeTest, ::testing::ValuesIn(kReleases),
                         [](const ::testing::TestParamInfo<Release>& info) {
                             return "Code" + std::to_string(info.param.code);
                         });

TEST_F(RemovalSequenceTest, VistaPathOrder) {
    Prepare({15, &winsim::SystemInfo::setWindows7});
    RemoveDrivers(OS_WIN7);
    // Driver files, devices, services, packages, notification, metadata.
    EXPECT_LT(FirstCall("DeleteFileA"), FirstCall("SetupDiGetClassDevsA"));
    EXPECT_LT(LastCall("SetupDiDestroyDeviceInfoList"), FirstCall("OpenSCManagerA"));
    EXPECT_LT(LastCall("CloseServiceHandle"), FirstCall("SetupGetInfFileListA"));
    EXPECT_LT(LastCall("CreateProcessA"), FirstCall("EnumWindows"));
    EXPECT_LT(FirstCall("EnumWindows"), FirstCall("SHGetKnownFolderPath"));
    EXPECT_EQ(FirstCall("RegQueryInfoKeyA"), -1);  // no registry scan for INF files
}

TEST_F(RemovalSequenceTest, PreVistaPathOrder) {
    Prepare({12, &winsim::SystemInfo::setXp});
    RemoveDrivers(OS_WINXP);
    // INF files of installed devices, driver files, devices, services, OEM INF scan, notification.
    EXPECT_LT(FirstCall("RegQueryInfoKeyA"), FirstCall("SetupDiGetClassDevsA"));
    EXPECT_LT(LastCall("SetupDiDestroyDeviceInfoList"), FirstCall("OpenSCManagerA"));
    EXPECT_LT(LastCall("CloseServiceHandle"), LastCall("FindFirstFileA"));
    EXPECT_LT(LastCall("FindClose"), FirstCall("EnumWindows"));
    EXPECT_EQ(FirstCall("SetupGetInfFileListA"), -1);
    EXPECT_EQ(FirstCall("CreateProcessA"), -1);
}

TEST_F(RemovalSequenceTest, InterfacesAreRemovedBeforeTheCompositeDevice) {
    Prepare({15, &winsim::SystemInfo::setWindows7});
    // The second removal fails: it must be the one for string 201 (MI_03),
    // after MI_00 and before the composite device.
    m.faults.fail("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED, 1);
    RemoveDrivers(OS_WIN7);
    EXPECT_FALSE(m.devices.exists(seeded::kPhoneDevices[1]));  // MI_00
    EXPECT_TRUE(m.devices.exists(seeded::kPhoneDevices[2]));   // MI_03
    EXPECT_FALSE(m.devices.exists(seeded::kPhoneDevices[0]));  // composite
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
}

TEST_F(RemovalSequenceTest, ServicesAreDeletedInOrderAndTheLastStatusIsTheResult) {
    Prepare({14, &winsim::SystemInfo::setVista});
    m.faults.fail("DeleteService", ERROR_ACCESS_DENIED, 1);
    EXPECT_NE(RemoveDrivers(OS_VISTA), 0);
    EXPECT_FALSE(m.services.exists("qtx0bus"));
    EXPECT_TRUE(m.services.exists("qtx0mdm"));
    EXPECT_FALSE(m.services.exists("qtx0mdfl"));
    EXPECT_FALSE(m.services.exists("qtx0obex"));
    EXPECT_EQ(m.ui.boxes.size(), 1u);
}

TEST_F(RemovalSequenceTest, ARefusedServiceManagerFailsTheSequenceButMetadataIsStillRemoved) {
    Prepare({15, &winsim::SystemInfo::setWindows7});
    m.faults.fail("OpenSCManagerA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RemoveDrivers(OS_WIN7), 0);
    EXPECT_FALSE(MetadataLeft());
    EXPECT_EQ(m.ui.boxes.size(), 4u);  // one per service
}

TEST_F(RemovalSequenceTest, AMetadataPackageThatStaysFailsTheSequence) {
    Prepare({17, &winsim::SystemInfo::setServer2008R2});
    m.files.setAttributes(std::string(kMetadataJaJp) + "\\" + seeded::kMetadataPackages[1], FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RemoveDrivers(OS_WIN2008R2), 0);
    EXPECT_TRUE(m.ui.boxes.empty());
}

class InstallFlagTest : public ProductTest {
protected:
    void SetUp() override { InitContext(); }
};

TEST_F(InstallFlagTest, OnlyAnExistingReadableValueIsCleared) {
    ClearInstallFlag();  // no key: nothing is created
    EXPECT_FALSE(m.registry.keyExists(ProductKey(m)));

    m.registry.createKey(ProductKey(m));
    ClearInstallFlag();  // no value: nothing is written
    EXPECT_FALSE(m.registry.value(ProductKey(m), "InstallFlag"));

    m.registry.setString(ProductKey(m), "InstallFlag", "abc");  // 4 bytes: read, then replaced
    ClearInstallFlag();
    EXPECT_EQ(m.registry.value(ProductKey(m), "InstallFlag")->type, (DWORD)REG_DWORD);
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));

    m.registry.setString(ProductKey(m), "InstallFlag", "abcd");  // 5 bytes: unreadable, stays
    ClearInstallFlag();
    EXPECT_EQ(m.registry.value(ProductKey(m), "InstallFlag")->type, (DWORD)REG_SZ);
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::RegistryKey), 0u);
}

TEST_F(InstallFlagTest, OnlyTheThirtyTwoBitViewHoldsTheProductKey) {
    // A key of the same name in the 64-bit view alone is another program's.
    m.registry.setDword(seeded::kProductKey64, "InstallFlag", 1);
    const winsim::RegValue foreign = *m.registry.value(seeded::kProductKey64, "InstallFlag");
    ClearInstallFlag();
    EXPECT_FALSE(m.registry.keyExists(ProductKey(m)));
    EXPECT_EQ(m.registry.value(seeded::kProductKey64, "InstallFlag")->data, foreign.data);

    // With both, only the 32-bit one is cleared.
    m.registry.setDword(ProductKey(m), "InstallFlag", 1);
    ClearInstallFlag();
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));
    EXPECT_EQ(m.registry.value(seeded::kProductKey64, "InstallFlag")->data, foreign.data);
}

class LauncherTest : public ProductTest {
protected:
    void SetUp() override { InitContext(); }
    HWND Window(const char* title) { return m.ui.addWindow("Launcher", title); }
};

TEST_F(LauncherTest, OnlyTheExactStringPropertyGetsOneSentMessage) {
    HWND exact = Window("exact");
    m.ui.window(exact)->addProperty("Other", nullptr);
    m.ui.window(exact)->addProperty("CDROMLauncher", nullptr);
    HWND atom = Window("atom");
    m.ui.window(atom)->addProperty(static_cast<WORD>(0x1234), nullptr);
    // A string atom's number in place of a name is passed over unread.
    m.ui.window(atom)->addProperty(static_cast<WORD>(0xC123), nullptr);
    HWND none = Window("none");

    NotifyLauncherWindows();

    const auto& received = m.ui.window(exact)->received;
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, (UINT)WM_DEVICECHANGE);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[0].lParam, 0);
    EXPECT_TRUE(received[0].sent);
    EXPECT_TRUE(m.ui.window(atom)->received.empty());
    EXPECT_TRUE(m.ui.window(none)->received.empty());
}

TEST_F(LauncherTest, ThePropertyNameIsComparedAsTheAtomTableSpellsIt) {
    // Property names are atoms: "cdromlauncher" registered first is how the
    // system spells the name for every window, and the comparison, which
    // respects case, then finds no launcher at all.
    HWND otherCase = Window("other case");
    m.ui.window(otherCase)->addProperty("cdromlauncher", nullptr);
    HWND launcher = Window("launcher");
    m.ui.window(launcher)->addProperty("CDROMLauncher", nullptr);
    NotifyLauncherWindows();
    EXPECT_TRUE(m.ui.window(otherCase)->received.empty());
    EXPECT_TRUE(m.ui.window(launcher)->received.empty());
}

TEST_F(LauncherTest, AWindowRegisteringTheNameInAnotherCaseLaterIsToldToo) {
    HWND launcher = Window("launcher");
    m.ui.window(launcher)->addProperty("CDROMLauncher", nullptr);
    HWND otherCase = Window("other case");
    m.ui.window(otherCase)->addProperty("CDROMLAUNCHER", nullptr);
    NotifyLauncherWindows();
    EXPECT_EQ(m.ui.window(launcher)->received.size(), 1u);
    EXPECT_EQ(m.ui.window(otherCase)->received.size(), 1u);
}

TEST_F(LauncherTest, AHungLauncherIsGivenUpOnAndTheOthersAreStillTold) {
    HWND hung = Window("hung");
    m.ui.window(hung)->addProperty("CDROMLauncher", nullptr);
    m.ui.window(hung)->hung = true;
    HWND healthy = Window("healthy");
    m.ui.window(healthy)->addProperty("CDROMLauncher", nullptr);

    NotifyLauncherWindows();  // returns: a hung window does not hold the removal

    EXPECT_EQ(m.ui.window(healthy)->received.size(), 1u);
    EXPECT_LE(m.ui.window(hung)->received.size(), 1u);
}

}  // namespace
