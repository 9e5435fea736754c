// The whole program on a PC that an earlier installation of the phone's
// drivers left behind, with foreign look-alikes beside the phone's items.
#include "earlier_installation.h"
#include "product_fixture.h"

namespace {

using seeded::kDriversDir;
using seeded::kMetadataJaJp;
using seeded::ProductKey;

class TypicalRunTest : public ProductTest {
protected:
    void Prepare(void (winsim::SystemInfo::*release)(), bool xp = false) {
        (m.system.*release)();
        m.system.setJapanese();
        seeded::LayOutMedia(m);
        earlier_ = seeded::SeedEarlierInstallation(m, xp);
        foreign_.Seed(m);
    }

    void ExpectPhoneDevicesServicesAndDriverFilesGone() {
        for (const auto& device : seeded::kPhoneDevices) EXPECT_FALSE(m.devices.exists(device)) << device;
        for (const auto& service : seeded::kPhoneServices) EXPECT_FALSE(m.services.exists(service)) << service;
        for (const auto& file : seeded::kPhoneDriverFiles)
            EXPECT_FALSE(m.files.exists(std::string(kDriversDir) + "\\" + file)) << file;
    }

    // The original names of the packages published now, in publishing order.
    std::vector<std::string> PublishedOriginals() {
        std::vector<std::string> names;
        for (const auto& package : m.driverStore.published(m.files)) names.push_back(package.originalName);
        return names;
    }

    std::vector<std::string> PnpUtilCommandLines() {
        std::vector<std::string> lines;
        for (const auto& start : m.processes.starts) lines.push_back(start.commandLine);
        return lines;
    }

    void ExpectCleanEnd(int exitCode) {
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(m.handles.openCount(), 0u) << ::testing::PrintToString(m.handles.describeOpen());
        EXPECT_EQ(m.modules.outstandingLoads(), 0);
        EXPECT_TRUE(m.handles.localAllocations.empty());
        foreign_.ExpectUnchanged(m);
    }

    seeded::EarlierInstallation earlier_;
    seeded::ForeignLookAlikes foreign_;
};

TEST_F(TypicalRunTest, InstallModeOnWindows7RemovesTheOldInstallationAndStagesTheNewOne) {
    Prepare(&winsim::SystemInfo::setWindows7);
    const int exitCode = RunProgram("");

    EXPECT_TRUE(m.ui.boxes.empty());
    ExpectPhoneDevicesServicesAndDriverFilesGone();
    // Each old package of the phone was deleted by the system's pnputil.exe,
    // one run at a time, in the order the INF folder lists them.
    std::vector<std::string> expected;
    for (const auto& name : earlier_.publishedPackages) expected.push_back("pnputil.exe -f -d " + name);
    EXPECT_EQ(PnpUtilCommandLines(), expected);
    for (const auto& start : m.processes.starts) {
        EXPECT_EQ(start.applicationName, "C:\\WINDOWS\\system32\\pnputil.exe");
        EXPECT_EQ(start.creationFlags, (DWORD)(CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS));
    }
    EXPECT_EQ(PublishedOriginals(), (std::vector<std::string>{"other.inf", "second.inf", "qtx0bus.inf",
                                                              "qtx0mdm2.inf", "qtx0obx2.inf"}));
    // The sample media's catalogs are unsigned placeholders: Windows asks
    // before it stages each package.
    EXPECT_EQ(m.driverStore.unsignedPrompts.size(), 3u);
    // The old metadata packages were removed, the media's copied in.
    for (const auto& package : seeded::kMetadataPackages)
        EXPECT_EQ(m.files.read(std::string(kMetadataJaJp) + "\\" + package),
                  seeded::MediaFile("metadata/" + package));
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));
    const auto& received = m.ui.window(earlier_.launcher)->received;
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, (UINT)WM_DEVICECHANGE);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[0].lParam, 0);
    EXPECT_TRUE(received[0].sent);
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, ExplicitInstallRecordsTheInstall) {
    Prepare(&winsim::SystemInfo::setWindows7);
    const int exitCode = RunProgram("/I");
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(1));
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, RemoveModeRemovesAndStagesNothing) {
    Prepare(&winsim::SystemInfo::setWindows7);
    const int exitCode = RunProgram("/R");
    EXPECT_TRUE(m.ui.boxes.empty());
    ExpectPhoneDevicesServicesAndDriverFilesGone();
    EXPECT_EQ(PublishedOriginals(), (std::vector<std::string>{"other.inf", "second.inf"}));
    for (const auto& package : seeded::kMetadataPackages)
        EXPECT_FALSE(m.files.exists(std::string(kMetadataJaJp) + "\\" + package));
    EXPECT_TRUE(m.files.isDirectory(kMetadataJaJp));  // the locale folder stays
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));
    EXPECT_EQ(m.ui.window(earlier_.launcher)->received.size(), 1u);
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, WindowsXpDeletesFilesAndTheirLastGoodCopiesWithoutPnpUtil) {
    Prepare(&winsim::SystemInfo::setXp, /*xp=*/true);
    const std::string recorded = earlier_.publishedPackages[0];
    const std::string recordedBase = recorded.substr(0, recorded.find('.'));
    const int exitCode = RunProgram("");

    EXPECT_TRUE(m.ui.boxes.empty());
    ExpectPhoneDevicesServicesAndDriverFilesGone();
    for (const auto& file : seeded::kPhoneDriverFiles)
        EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\LastGood\\system32\\drivers\\" + file)) << file;
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\LastGood\\INF\\" + recorded));
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\LastGood\\INF\\" + recordedBase + ".PNF"));
    EXPECT_TRUE(m.processes.starts.empty());
    // No metadata on XP: the old packages stay where an earlier Windows 7
    // installation might have put them, and nothing is deployed.
    EXPECT_EQ(m.files.read(std::string(kMetadataJaJp) + "\\" + seeded::kMetadataPackages[0]),
              "old " + seeded::kMetadataPackages[0]);
    EXPECT_EQ(PublishedOriginals(), (std::vector<std::string>{"other.inf", "second.inf", "qtx0bus.inf",
                                                              "qtx0mdm2.inf", "qtx0obx2.inf"}));
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, VistaUsesPnpUtilAndLeavesMetadataAlone) {
    Prepare(&winsim::SystemInfo::setVista);
    const int exitCode = RunProgram("");
    EXPECT_TRUE(m.ui.boxes.empty());
    ExpectPhoneDevicesServicesAndDriverFilesGone();
    EXPECT_EQ(m.processes.starts.size(), 3u);
    EXPECT_EQ(m.files.read(std::string(kMetadataJaJp) + "\\" + seeded::kMetadataPackages[0]),
              "old " + seeded::kMetadataPackages[0]);
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, OnVistaAPackageThatPnpUtilCouldNotDeleteStaysPublished) {
    Prepare(&winsim::SystemInfo::setVista);
    // An earlier version of the bus driver's package beside the current one.
    const std::string earlierVersion = m.driverStore.seed(m.files, seeded::kInfDir, "qtx0bus.inf",
                                                          seeded::MediaFile("Drivers/qtx0bus.inf") + "; 1.0.0.1\r\n");
    m.files.remove(winsim::Processes::kPnpUtilPath);
    const int exitCode = RunProgram("");
    // One box per old package that pnputil.exe could not be started for.
    EXPECT_EQ(m.ui.boxes.size(), earlier_.publishedPackages.size() + 1);
    // The old packages are still in the store. Their oemN.inf names stay,
    // so that the next run's pnputil.exe can delete them: without a name
    // they would stay in the store for good, where Plug and Play still
    // ranks them against the new ones.
    std::vector<std::string> unpublished;
    for (const auto& package : m.driverStore.inStore(m.files))
        if (package.publishedName.empty()) unpublished.push_back(package.storeFolder);
    EXPECT_EQ(unpublished, std::vector<std::string>{});
    EXPECT_NE(m.driverStore.find(m.files, earlierVersion), nullptr);
    // The media's packages equal those of the earlier installation, which
    // keep their names.
    for (const auto& name : earlier_.publishedPackages) EXPECT_NE(m.driverStore.find(m.files, name), nullptr) << name;
    EXPECT_EQ(PublishedOriginals(), (std::vector<std::string>{"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf", "other.inf",
                                                              "second.inf", "qtx0bus.inf"}));
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, IncompleteMediaEndsWithInstallFailedAfterTheRemoval) {
    Prepare(&winsim::SystemInfo::setWindows7);
    m.files.remove("C:\\Program Files\\210QX\\Drivers\\qtx0mdm2.inf");
    const int exitCode = RunProgram("/I");
    ASSERT_EQ(m.ui.boxes.size(), 2u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_EQ(m.ui.boxes[1].textUtf8, kInstallFailedText);
    ExpectPhoneDevicesServicesAndDriverFilesGone();
    // The first INF was staged, the rest not; no install is recorded.
    EXPECT_EQ(PublishedOriginals(), (std::vector<std::string>{"other.inf", "second.inf", "qtx0bus.inf"}));
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, AProgramFolderWithAShiftJisBackslashTrailByteFindsItsMedia) {
    m.modules.programPath = "C:\\表\\USB\\210QX_USB.exe";
    m.files.createDirectory("C:\\表\\USB");
    Prepare(&winsim::SystemInfo::setWindows7);
    const int exitCode = RunProgram("");
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.driverStore.published(m.files).back().sourceFolder, "C:\\表\\Drivers");
    ExpectCleanEnd(exitCode);
}

TEST_F(TypicalRunTest, AProgramFolderWhoseNameEndsInTheTrailByteFindsItsMedia) {
    // The folder name itself ends in 0x5C: "C:\Setup\表\".
    m.modules.programPath = "C:\\Setup\\表\\210QX_USB.exe";
    m.files.createDirectory("C:\\Setup\\表");
    Prepare(&winsim::SystemInfo::setWindows7);
    const int exitCode = RunProgram("");
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.driverStore.published(m.files).back().sourceFolder, "C:\\Setup\\Drivers");
    ExpectCleanEnd(exitCode);
}

}  // namespace
