// The whole program on the simulated machine: which outcome each situation
// of the command line, the user and a running instance leads to.
#include "earlier_installation.h"
#include "product_fixture.h"

namespace {

using seeded::kProductKey64;
using seeded::ProductKey;
const char* const kPathNotFoundText = "指定されたパスが見つかりません。\r\n";
const char* const kRestartText =
    "USBドライバの削除を完了するには、Windowsを再起動する必要があります。\n"
    "携帯電話をパソコンに接続する前に、Windowsを再起動してください。";

// A Japanese Windows 7 PC with the install media beside the program.
class WinMainTest : public ProductTest {
protected:
    WinMainTest() {
        m.system.setJapanese();
        seeded::LayOutMedia(m);
    }

    void ExpectOneBox(const std::string& text, UINT icon) {
        ASSERT_EQ(m.ui.boxes.size(), 1u);
        EXPECT_EQ(m.ui.boxes[0].textUtf8, text);
        EXPECT_EQ(m.ui.boxes[0].captionUtf8, "210QX USB Driver");
        EXPECT_EQ(m.ui.boxes[0].owner, nullptr);
        EXPECT_EQ(m.ui.boxes[0].style, icon);
    }
    // Everything the program opened is closed again when it ends.
    void ExpectNothingLeftOpen() {
        EXPECT_EQ(m.handles.openCount(), 0u) << ::testing::PrintToString(m.handles.describeOpen());
        EXPECT_EQ(m.modules.outstandingLoads(), 0);
        EXPECT_TRUE(m.handles.localAllocations.empty());
    }
    void BecomeStandardUser() { m.token.process = winsim::TokenIdentity::standardUser(); }
};

TEST_F(WinMainTest, InstallModeStagesSilentlyAndExitsZero) {
    // Each run's removal deletes the packages the run before it staged.
    for (const char* line : {"", "/I", "-i", "/Install", "/x", "/R /I", "/V", "/v /i"}) {
        m.ui.boxes.clear();
        EXPECT_EQ(RunProgram(line), 0) << line;
        EXPECT_TRUE(m.ui.boxes.empty()) << line;
        EXPECT_EQ(m.driverStore.published(m.files).size(), 3u) << line;
    }
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, InstallModeWithoutMediaShowsTheStagingErrorThenInstallFailed) {
    m.files.remove("C:\\Program Files\\210QX\\Drivers");
    EXPECT_EQ(RunProgram(""), 0);
    ASSERT_EQ(m.ui.boxes.size(), 2u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_EQ(m.ui.boxes[0].textUtf8, kPathNotFoundText);
    EXPECT_EQ(m.ui.boxes[1].textUtf8, kInstallFailedText);
    EXPECT_EQ(m.ui.boxes[1].captionUtf8, "210QX USB Driver");
    EXPECT_EQ(m.ui.boxes[1].style, (UINT)MB_ICONERROR);
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, QuietRunsShowNoBoxAndExitWithInstallerCodes) {
    // Only a whole argument counts, in any case; a word or path that merely
    // contains it runs as before (and -q is no switch). Each run meets a
    // device that needs a restart; the install runs also fail, and a
    // failure outweighs the restart.
    m.files.remove("C:\\Program Files\\210QX\\Drivers");
    for (const auto& [line, code] : {std::make_pair("/quiet", 1603), std::make_pair("-QUIET /I", 1603),
                                     std::make_pair("/V \"-Quiet\" /R", 3010)}) {
        seeded::SeedEarlierInstallation(m);
        m.devices.setInUse(seeded::kPhoneDevices[1], winsim::StopRefusal::NeedsRestart);
        m.ui.boxes.clear();
        EXPECT_EQ(RunProgram(line), code) << line;
        EXPECT_TRUE(m.ui.boxes.empty()) << line;
    }
    for (const char* line : {"/quietly", "\"C:\\a -quiet\"", "/quiet:yes", "C:\\x-quiet"}) {
        m.ui.boxes.clear();
        EXPECT_EQ(RunProgram(line), 0) << line;
        EXPECT_EQ(m.ui.boxes.size(), 2u) << line;
    }
    BecomeStandardUser();
    m.ui.boxes.clear();
    EXPECT_EQ(RunProgram("/quiet /R"), 5);
    EXPECT_TRUE(m.ui.boxes.empty());
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, AQuietSecondCopyInInstallModeEndsAtOnce) {
    seeded::SeedEarlierInstallation(m);
    m.ui.holdMutexElsewhere("USBDriverInstall");
    HWND first = m.ui.addWindow("#32770", "210QX USB Driver");
    EXPECT_EQ(RunProgram("/quiet"), 1618);
    EXPECT_TRUE(m.ui.window(first)->actions.empty());
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_TRUE(m.devices.exists(seeded::kPhoneDevices[0])) << "nothing is removed";
    // In remove mode the second copy closes the first and runs, as without /quiet.
    EXPECT_EQ(RunProgram("/quiet /R"), 0);
    EXPECT_EQ(m.ui.window(first)->received.size(), 1u);
    EXPECT_FALSE(m.devices.exists(seeded::kPhoneDevices[0]));
}

TEST_F(WinMainTest, ARemovedDeviceThatCouldNotStopAsksForARestart) {
    struct Row {
        const char* line;
        winsim::StopRefusal inUse;
        int exitCode;
    };
    for (const Row& row : {Row{"", winsim::StopRefusal::NeedsReboot, 0}, Row{"/R", winsim::StopRefusal::NeedsRestart, 0},
                           Row{"/quiet", winsim::StopRefusal::NeedsRestart, 3010},
                           Row{"/quiet /R", winsim::StopRefusal::NeedsReboot, 3010}}) {
        seeded::SeedEarlierInstallation(m);
        m.devices.setInUse(seeded::kPhoneDevices[1], row.inUse);
        m.ui.boxes.clear();
        EXPECT_EQ(RunProgram(row.line), row.exitCode) << row.line;
        EXPECT_FALSE(m.devices.exists(seeded::kPhoneDevices[1])) << row.line;
        if (row.exitCode == 0) {
            ExpectOneBox(kRestartText, MB_ICONINFORMATION);
        } else {
            EXPECT_TRUE(m.ui.boxes.empty()) << row.line;
        }
    }
    // A device that stopped asks for nothing.
    seeded::SeedEarlierInstallation(m);
    EXPECT_EQ(RunProgram("/quiet"), 0);
}

TEST_F(WinMainTest, RemoveModeShowsNothing) {
    // Remove mode takes the phone's packages away and stages none (install
    // mode would leave three staged).
    for (const char* line : {"/R", "-r", "/Remove", "/I /R", "/V /R", "//R", "-/R", "\"C:\\my-records\\\""}) {
        seeded::SeedEarlierInstallation(m);
        ASSERT_EQ(m.driverStore.published(m.files).size(), 3u) << line;
        m.ui.boxes.clear();
        EXPECT_EQ(RunProgram(line), 0) << line;
        EXPECT_TRUE(m.ui.boxes.empty()) << line;
        EXPECT_TRUE(m.driverStore.published(m.files).empty()) << line;
    }
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, NonAdministratorIsRefusedWithTheCategoryNamedAndNothingElseRuns) {
    BecomeStandardUser();
    m.registry.createKey(ProductKey(m));
    m.registry.setDword(ProductKey(m), "InstallFlag", 1);
    HWND other = m.ui.addWindow("Other", "210QX USB Driver");
    m.ui.holdMutexElsewhere("USBDriverInstall");

    EXPECT_EQ(RunProgram("/R"), 0);

    ExpectOneBox(NotAdministratorText("210QX USB Driver"), MB_ICONINFORMATION);
    // Windows grants such a user read access to HKLM only: nothing is written.
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(1));
    // The running instance's window is not touched.
    EXPECT_TRUE(m.ui.window(other)->received.empty());
    EXPECT_TRUE(m.ui.window(other)->actions.empty());
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, RefusalClearsTheInstallFlagOnlyWhereTheKeyOpens) {
    BecomeStandardUser();
    m.registry.createKey(ProductKey(m));
    m.registry.find(ProductKey(m))->writableByUsers = true;
    m.registry.setDword(ProductKey(m), "InstallFlag", 1);
    // A key of the same name in the 64-bit view is another program's.
    m.registry.setDword(kProductKey64, "InstallFlag", 1);
    m.registry.find(kProductKey64)->writableByUsers = true;
    // A preview refuses the user too, and writes nothing.
    EXPECT_EQ(RunProgram("/list /quiet"), 5);
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(1));
    RunProgram("");
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(0));
    EXPECT_EQ(m.registry.dword(kProductKey64, "InstallFlag"), std::optional<DWORD>(1));

    // Without the key nothing is created.
    m.registry.deleteKey(ProductKey(m));
    m.ui.boxes.clear();
    RunProgram("");
    EXPECT_FALSE(m.registry.keyExists(ProductKey(m)));
    ExpectOneBox(NotAdministratorText("210QX USB Driver"), MB_ICONINFORMATION);
}

TEST_F(WinMainTest, RefusalNamesTheCategoryOfTheSettingsFile) {
    BecomeStandardUser();
    m.files.writeFile(ProgramFolder() + "210QX_USB.ini", "[UsbInst]\r\nNAME2=Mobile Kit\r\n");
    RunProgram("");
    ExpectOneBox(NotAdministratorText("Mobile Kit"), MB_ICONINFORMATION);
}

TEST_F(WinMainTest, OldSystemsDoNotCheckTheUserAndEndWithInstallFailed) {
    // Pre-installation is refused there, before any staging is tried.
    BecomeStandardUser();
    m.system.setWindows98();
    EXPECT_EQ(RunProgram(""), 0);
    ExpectOneBox(kInstallFailedText, MB_ICONERROR);

    m.ui.boxes.clear();
    m.system.setNt4();
    EXPECT_EQ(RunProgram(""), 0);
    ExpectOneBox(kInstallFailedText, MB_ICONERROR);
}

TEST_F(WinMainTest, DenyOnlyAdministratorsGroupPassesTheCheck) {
    // A token that UAC filtered still lists the group: the program goes on
    // and removes what needs no rights (the launcher hears of the change),
    // and meets Windows' own refusals, such as the service manager's.
    const seeded::EarlierInstallation earlier = seeded::SeedEarlierInstallation(m);
    m.token.process = winsim::TokenIdentity::denyOnlyAdministrator();
    EXPECT_EQ(RunProgram("/R"), 0);
    ASSERT_FALSE(m.ui.boxes.empty());
    for (const auto& box : m.ui.boxes) EXPECT_EQ(box.captionUtf8, "Error") << box.textUtf8;
    bool told = false;
    for (const winsim::WindowMessage& message : m.ui.window(earlier.launcher)->received)
        told = told || message.msg == WM_DEVICECHANGE;
    EXPECT_TRUE(told);
    EXPECT_EQ(m.registry.dword(ProductKey(m), "InstallFlag"), std::optional<DWORD>(1)) << "HKLM stays read-only";
}

TEST_F(WinMainTest, SecondInstanceInInstallModeBringsTheFirstForwardAndEndsSilently) {
    m.ui.holdMutexElsewhere("USBDriverInstall");
    HWND first = m.ui.addWindow("#32770", "210QX USB Driver");
    EXPECT_EQ(RunProgram("/I"), 0);
    EXPECT_TRUE(m.ui.boxes.empty());
    const auto& actions = m.ui.window(first)->actions;
    EXPECT_EQ(actions, (std::vector<std::string>{"BringWindowToTop", "SetForegroundWindow"}));
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, SecondInstanceRestoresAMinimisedFirstInstance) {
    m.ui.holdMutexElsewhere("USBDriverInstall");
    HWND first = m.ui.addWindow("#32770", "210QX USB Driver");
    m.ui.window(first)->iconic = true;
    RunProgram("");
    EXPECT_EQ(m.ui.window(first)->actions, (std::vector<std::string>{"ShowWindow 9", "SetForegroundWindow"}));
}

TEST_F(WinMainTest, SecondInstanceFindsTheFirstByWindowClassBeforeTitle) {
    m.ui.holdMutexElsewhere("USBDriverInstall");
    HWND byTitle = m.ui.addWindow("#32770", "210QX USB Driver");
    HWND byClass = m.ui.addWindow("USBDriverInstall", "whatever");
    RunProgram("");
    EXPECT_TRUE(m.ui.window(byTitle)->actions.empty());
    EXPECT_FALSE(m.ui.window(byClass)->actions.empty());
}

TEST_F(WinMainTest, SecondInstanceWithoutAWindowOfTheFirstEndsSilently) {
    m.ui.holdMutexElsewhere("USBDriverInstall");
    EXPECT_EQ(RunProgram(""), 0);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(WinMainTest, SecondInstanceInRemoveModeClosesTheFirstAndRemovesAnyway) {
    m.ui.holdMutexElsewhere("USBDriverInstall");
    HWND first = m.ui.addWindow("#32770", "210QX USB Driver");
    EXPECT_EQ(RunProgram("/R"), 0);
    const auto& received = m.ui.window(first)->received;
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, (UINT)WM_CLOSE);
    EXPECT_TRUE(received[0].sent);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(WinMainTest, APreviewChangesNothingAndReportsWhatTheRunWouldMeet) {
    seeded::SeedEarlierInstallation(m);
    m.files.remove("C:\\Program Files\\210QX\\Drivers");
    const std::string package = std::string(seeded::kMetadataJaJp) + "\\" + seeded::kMetadataPackages[1];
    m.files.setAttributes(package, FILE_ATTRIBUTE_READONLY);
    // Only a whole argument counts, in any case; quiet, it ends with 0.
    EXPECT_EQ(RunProgram("/listing /quiet"), 1603);
    seeded::SeedEarlierInstallation(m);
    EXPECT_EQ(RunProgram("-LIST /quiet"), 0);
    EXPECT_EQ(RunProgram("\"/List\""), 0);
    ExpectOneBox("確認が完了しました。何も変更していません。\n対象の項目: 21 件\n"
                 "詳細はログをご覧ください: C:\\WINDOWS\\210QX_USB.log",
                 MB_ICONINFORMATION);
    seeded::LayOutMedia(m);
    RunProgram("/list");
    EXPECT_TRUE(m.devices.exists(seeded::kPhoneDevices[0]));
    const std::string log = m.files.read("C:\\WINDOWS\\210QX_USB.log").value_or("");
    for (const std::string& line : std::vector<std::string>{"\twould error\t3\t指定されたパスが見つかりません。  \r\n", "\twould message\t17100\tお使いのパソコンに",
          "\tnot known\trestart needed\tUSB\\VID_1A2B&PID_3C4D&MI_00\r\n", "\tnot known\tmarked for deletion\tqtx0bus\r\n",
          "\texpected failure\t" + package + "\tread-only: it stays in the store\r\n",
          "\texpected failure\t" + package + "\talready in the store: the copying stops\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // The folder the packages would go to, and the run that creates it; a
    // pnputil.exe that would not start.
    m.files.remove(seeded::kMetadataJaJp);
    m.files.remove(winsim::Processes::kPnpUtilPath);
    RunProgram("/list");
    RunProgram("");
    const std::string later = m.files.read("C:\\WINDOWS\\210QX_USB.log").value_or("").substr(log.size());
    for (const std::string& line : {"\twould folder created\t" + std::string(seeded::kMetadataJaJp),
                                    "\tfolder created\t" + std::string(seeded::kMetadataJaJp), std::string("\twould error\t2\t")})
        EXPECT_NE(later.find(line), std::string::npos) << line;
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, APreviewLeavesARunningCopyAloneAndTakesNoMutex) {
    m.ui.holdMutexElsewhere("USBDriverInstall");
    HWND first = m.ui.addWindow("#32770", "210QX USB Driver");
    int references = -1;
    m.ui.onMessageBox = [&](const winsim::MessageBoxRecord&) {
        auto mutex = m.ui.findMutex("USBDriverInstall");
        references = mutex ? mutex->references : 0;
    };
    for (const char* line : {"/list", "/list /R"}) {
        EXPECT_EQ(RunProgram(line), 0) << line;
        EXPECT_EQ(references, 1) << line << ": only the running copy holds it";
    }
    EXPECT_TRUE(m.ui.window(first)->actions.empty());
    EXPECT_TRUE(m.ui.window(first)->received.empty());
    EXPECT_NE(m.files.read("C:\\WINDOWS\\210QX_USB.log")->find("\tanother copy runs\r\n"), std::string::npos);
    m.ui.releaseMutexElsewhere("USBDriverInstall");
    RunProgram("/list");
    EXPECT_EQ(references, 0);
}

TEST_F(WinMainTest, FirstInstanceHoldsTheMutexWhileItsBoxIsShownAndReleasesItAtExit) {
    m.files.remove("C:\\Program Files\\210QX\\Drivers");  // so that boxes are shown
    bool heldDuringBox = false;
    m.ui.onMessageBox = [&](const winsim::MessageBoxRecord&) {
        auto mutex = m.ui.findMutex("USBDriverInstall");
        heldDuringBox = mutex && mutex->ownedByUs;
    };
    RunProgram("");
    EXPECT_TRUE(heldDuringBox);
    EXPECT_FALSE(m.ui.findMutex("USBDriverInstall"));
    ExpectNothingLeftOpen();
}

TEST_F(WinMainTest, AFailedMutexCreationRunsAsTheOnlyInstance) {
    m.faults.fail("CreateMutexA", ERROR_ACCESS_DENIED);
    HWND other = m.ui.addWindow("#32770", "210QX USB Driver");
    EXPECT_EQ(RunProgram(""), 0);
    EXPECT_TRUE(m.ui.window(other)->actions.empty());
    EXPECT_TRUE(m.ui.boxes.empty());
}

}  // namespace
