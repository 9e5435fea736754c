// The program's defences against files planted beside it, and the hand-over
// from the 32-bit build to the 64-bit build on 64-bit Windows.
#include <algorithm>

#include "app/wow64_relaunch.h"
#include "earlier_installation.h"
#include "product_fixture.h"

namespace {

const char kLog[] = "C:\\WINDOWS\\210QX_USB.log";

class ProcessSafetyTest : public ProductTest {
protected:
    ProcessSafetyTest() {
        m.system.setJapanese();
        seeded::LayOutMedia(m);
    }
    std::string NativeBuildPath() const { return ProgramFolder() + kNativeBuildName; }
};

TEST_F(ProcessSafetyTest, DllSearchIsRestrictedToTheSystemFolderWhereWindowsOffersIt) {
    RunProgram("/R");
    EXPECT_EQ(m.modules.defaultDllDirectories, (DWORD)LOAD_LIBRARY_SEARCH_SYSTEM32);
}

TEST_F(ProcessSafetyTest, WithoutSetDefaultDllDirectoriesTheProgramRunsOn) {
    m.modules.dllDirectoryUpdateInstalled = false;  // Windows 7 without KB2533623
    EXPECT_EQ(RunProgram(""), 0);
    EXPECT_EQ(m.modules.defaultDllDirectories, 0u);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(ProcessSafetyTest, TheCommonControlsVersionIsReadThroughTheSystemsVersionDll) {
    RunProgram("/R");
    // COMCTL32 6 (the manifest's) is newer than 4.70: the Ex initialisation.
    ASSERT_EQ(m.modules.commonControls.initCommonControlsExCalls.size(), 1u);
    EXPECT_EQ(m.modules.commonControls.initCommonControlsCalls, 0);
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
}

TEST_F(ProcessSafetyTest, A32BitProcessOn64BitWindowsHandsTheRunToThe64BitBuild) {
    m.system.process32 = true;
    std::string seenCommandLine;
    m.processes.install(NativeBuildPath(), [&](const std::string& commandLine, winsim::Machine& machine) -> DWORD {
        seenCommandLine = commandLine;
        // The 64-bit build must not find this process holding the mutex.
        EXPECT_FALSE(machine.ui.findMutex("USBDriverInstall"));
        // It appends to the log that this process holds.
        HANDLE log = CreateFileA(kLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                                 nullptr);
        DWORD written = 0;
        WriteFile(log, "64-bit build\r\n", 14, &written, nullptr);
        CloseHandle(log);
        return 0;
    });
    EXPECT_EQ(RunProgram("/R"), 0);
    // Its lines come between this process's hand-over and exit lines.
    const std::string log = m.files.read(kLog).value_or("");
    const size_t at[] = {log.find("\t32-bit\t/R\r\n"), log.find("\thand over\t"), log.find("\n64-bit build\r\n"),
                         log.find("\texit\t0\r\n")};
    EXPECT_TRUE(std::is_sorted(at, at + 4) && at[3] != std::string::npos) << log;
    ASSERT_EQ(m.processes.starts.size(), 1u);
    EXPECT_EQ(m.processes.starts[0].applicationName, NativeBuildPath());
    EXPECT_EQ(seenCommandLine, "\"" + NativeBuildPath() + "\" /R");
    EXPECT_TRUE(m.ui.boxes.empty());
    // The 32-bit process itself removed and staged nothing.
    EXPECT_EQ(m.faults.callsOf("SetupDiGetClassDevsA"), 0);
    EXPECT_EQ(m.faults.callsOf("SetupCopyOEMInfA"), 0);
    EXPECT_EQ(m.handles.openCount(), 0u);
    // A preview hands over too; the 64-bit build previews and reports.
    EXPECT_EQ(RunProgram("/list"), 0);
    EXPECT_EQ(seenCommandLine, "\"" + NativeBuildPath() + "\" /list");
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(ProcessSafetyTest, TheHandOverPassesQuietOnAndTheExitCodeBack) {
    m.system.process32 = true;
    DWORD childCode = 0;
    m.processes.install(NativeBuildPath(), [&](const std::string&, winsim::Machine&) -> DWORD { return childCode; });
    for (DWORD code : {3010u, 1603u, 0u}) {
        childCode = code;
        EXPECT_EQ(RunProgram("/quiet /R"), static_cast<int>(code));
        EXPECT_EQ(m.processes.starts.back().commandLine, "\"" + NativeBuildPath() + "\" /quiet /R");
    }
    // Without /quiet the exit code stays 0 whatever the 64-bit build says.
    childCode = 1603;
    EXPECT_EQ(RunProgram("/R"), 0);
    // Its exit code unknown, a quiet run is not reported as done.
    m.faults.fail("GetExitCodeProcess", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunProgram("/quiet"), 1603);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(ProcessSafetyTest, WithoutThe64BitBuildNothingChangesAndTheInstallFails) {
    m.system.process32 = true;
    EXPECT_EQ(RunProgram("-quiet"), 1603);
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(RunProgram(""), 0);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, kInstallFailedText);
    EXPECT_TRUE(m.processes.starts.empty());
    EXPECT_EQ(m.faults.callsOf("SetupDiGetClassDevsA"), 0);
    EXPECT_EQ(m.faults.callsOf("SetupCopyOEMInfA"), 0);
    EXPECT_EQ(m.handles.openCount(), 0u);
    // A preview has found what the run would meet: its report says so.
    m.ui.boxes.clear();
    EXPECT_EQ(RunProgram("/list"), 0);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_NE(m.ui.boxes[0].textUtf8.find("対象の項目: 0 件"), std::string::npos);
}

TEST_F(ProcessSafetyTest, AnUnknownProgramFolderHandsTheRunToNoProgramOfTheCurrentFolder) {
    // A program path longer than MAX_PATH leaves the program's folder
    // unknown; a 64-bit build planted in the current folder must not run.
    m.system.process32 = true;
    m.modules.programPath = "C:\\" + std::string(270, 'p') + "\\210QX_USB.exe";
    m.files.currentDirectory = "C:\\Users\\Public\\Downloads";
    int planted = 0;
    m.processes.install(m.files.currentDirectory + "\\" + kNativeBuildName,
                        [&](const std::string&, winsim::Machine&) -> DWORD {
                            ++planted;
                            return 0;
                        });
    EXPECT_EQ(RunProgram("/R"), 0);
    EXPECT_EQ(planted, 0);
    EXPECT_TRUE(m.processes.starts.empty());
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, kInstallFailedText);
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST_F(ProcessSafetyTest, A64BitProcessRunsItself) {
    m.processes.install(NativeBuildPath(), [](const std::string&, winsim::Machine&) -> DWORD { return 0; });
    RunProgram("");
    EXPECT_TRUE(m.processes.starts.empty());
    EXPECT_EQ(m.driverStore.published(m.files).size(), 3u);
}

TEST_F(ProcessSafetyTest, APnpUtilPlantedBesideTheProgramOrInTheCurrentFolderNeverRuns) {
    seeded::SeedEarlierInstallation(m);
    int planted = 0;
    auto plant = [&](const std::string& path) {
        m.processes.install(path, [&](const std::string&, winsim::Machine&) -> DWORD {
            ++planted;
            return 0;
        });
    };
    plant(ProgramFolder() + "pnputil.exe");
    m.files.currentDirectory = "C:\\Users\\Public\\Downloads";
    m.files.createDirectory(m.files.currentDirectory);
    plant(m.files.currentDirectory + "\\pnputil.exe");
    RunProgram("/R");
    EXPECT_EQ(planted, 0);
    EXPECT_EQ(m.processes.starts.size(), 3u);
    for (const auto& start : m.processes.starts)
        EXPECT_EQ(start.image, "C:\\WINDOWS\\system32\\pnputil.exe");
}

}  // namespace
