// DeleteDriverPackages and RunPnpUtilDelete: every published package of the
// phone deleted by the system's pnputil.exe, one run after the other, and
// nothing else touched; a pnputil.exe planted beside the program or in the
// current directory never runs.
#include <map>
#include <string>
#include <vector>

#include <setupapi.h>

#include "earlier_installation.h"
#include "product_fixture.h"
#include "removal/driver_packages.h"

namespace {

constexpr int kWindows7 = 15;
const char kInfDir[] = "C:\\WINDOWS\\INF";
const char kPnpUtil[] = "C:\\WINDOWS\\system32\\pnputil.exe";
const DWORD kFlags = CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS;

// An INF of another vendor whose model section holds `modelLines`.
std::string ForeignInf(const std::string& modelLines) {
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\nProvider=Other\r\n\r\n"
           "[Manufacturer]\r\nOther=Vantor_wmc\r\n\r\n[Vantor_wmc]\r\n" +
           modelLines + "\r\n";
}

class DriverPackagesTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        // Look-alikes that must stay as they are: another model's ID, the
        // phone's ID on the second model line only, the phone's ID in a
        // section the test does not read, and an old-style INF.
        Foreign("lookalike.inf", ForeignInf("%D% = Other, USB\\VID_1A2B&PID_3C4E"));
        Foreign("second.inf", ForeignInf("%D% = Other, USB\\VID_0000&PID_0001\r\n%D% = Other, USB\\VID_1A2B&PID_3C4D"));
        Foreign("section.inf",
                "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Vantor_wmc.NTamd64]\r\n%D% = X, USB\\VID_1A2B&PID_3C4D\r\n");
        Foreign("oldstyle.inf", "[Identification]\r\nOptionType = NetAdapter\r\n[Vantor_wmc]\r\nx = y, "
                                "USB\\VID_1A2B&PID_3C4D\r\n");
        handlesBefore_ = m.handles.openCount();
    }

    void TearDown() override {
        for (const auto& file : foreign_) {
            const auto content = m.files.read(file.first);
            EXPECT_TRUE(content && *content == file.second) << "foreign file changed: " << file.first;
        }
        EXPECT_EQ(m.handles.openCount(), handlesBefore_) << ::testing::PrintToString(m.handles.describeOpen());
        EXPECT_TRUE(m.handles.localAllocations.empty());
        ProductTest::TearDown();
    }

    // A package published earlier; returns its oemN.inf name.
    std::string Publish(const std::string& name, const std::string& content) {
        return m.driverStore.seed(m.files, kInfDir, name, content);
    }
    // The phone's three packages, as an earlier installation left them.
    std::vector<std::string> PublishPhonePackages() {
        std::vector<std::string> names;
        for (const char* inf : {"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"})
            names.push_back(Publish(inf, seeded::MediaFile(std::string("Drivers/") + inf)));
        return names;
    }
    void Foreign(const std::string& name, const std::string& content) {
        const std::string published = Publish(name, content);
        for (const char* ext : {".inf", ".PNF"}) {
            const std::string path = std::string(kInfDir) + "\\" + published.substr(0, published.size() - 4) + ext;
            foreign_[path] = *m.files.read(path);
        }
    }
    // The names the INF folder lists, in its own order, that are among `names`.
    std::vector<std::string> InListOrder(const std::vector<std::string>& names) const {
        std::vector<std::string> ordered;
        for (const std::string& entry : m.files.list(kInfDir))
            for (const std::string& name : names)
                if (winsim::upperName(entry) == winsim::upperName(name)) ordered.push_back(name);
        return ordered;
    }
    std::vector<std::string> CommandLines() const {
        std::vector<std::string> lines;
        for (const winsim::ProcessStart& start : m.processes.starts) lines.push_back(start.commandLine);
        return lines;
    }
    // A program that records its runs in `planted`.
    void Plant(const std::string& path) {
        m.processes.install(path, [this, path](const std::string& line, winsim::Machine&) {
            planted.push_back(path + ": " + line);
            return DWORD{0};
        });
    }

    std::map<std::string, std::string> foreign_;
    std::vector<std::string> planted;
    size_t handlesBefore_ = 0;
};

}  // namespace

TEST_F(DriverPackagesTest, WithoutThePhonesPackagesPnpUtilNeverRuns) {
    // A saved copy of the phone's INF: the "*.inf" list holds it through
    // its short name QTX0BU~1.INF, but it is no INF.
    m.files.writeFile(std::string(kInfDir) + "\\qtx0bus.inf_old", seeded::MediaFile("Drivers/qtx0bus.inf"));
    EXPECT_EQ(DeleteDriverPackages(kWindows7), 1);
    EXPECT_TRUE(m.processes.starts.empty());
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.driverStore.published(m.files).size(), 4u);
}

TEST_F(DriverPackagesTest, EachPhonePackageIsDeletedByItsOwnRunInListOrder) {
    const std::vector<std::string> packages = PublishPhonePackages();
    std::vector<std::string> expected;
    for (const std::string& name : InListOrder(packages)) expected.push_back("pnputil.exe -f -d " + name);
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(DeleteDriverPackages(kWindows7), 1);

    EXPECT_EQ(CommandLines(), expected);
    for (const winsim::ProcessStart& start : m.processes.starts) {
        // The utility is started by its full path in the system folder,
        // without a window, from a zeroed STARTUPINFOA.
        EXPECT_TRUE(start.applicationNameGiven);
        EXPECT_EQ(start.applicationName, kPnpUtil);
        EXPECT_EQ(start.image, kPnpUtil);
        EXPECT_EQ(start.creationFlags, kFlags);
        EXPECT_EQ(start.startupInfoSize, (DWORD)sizeof(STARTUPINFOA));
        EXPECT_EQ(start.startupFlags, 0u);
        EXPECT_EQ(start.exitCode, 0u);
    }
    for (const std::string& name : packages) EXPECT_EQ(m.driverStore.find(m.files, name), nullptr) << name;
    EXPECT_EQ(m.driverStore.published(m.files).size(), 4u) << "the look-alikes stay published";
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(DriverPackagesTest, EachRunIsWaitedForBeforeTheNextStarts) {
    PublishPhonePackages();
    EXPECT_EQ(DeleteDriverPackages(kWindows7), 1);
    std::vector<std::string> calls;
    for (const std::string& call : m.faults.callLog())
        if (call == "CreateProcessA" || call == "WaitForSingleObject" || call == "CloseHandle") calls.push_back(call);
    // The thread handle is closed at once, the process waited for, then
    // its handle closed: one process at a time.
    const std::vector<std::string> one = {"CreateProcessA", "CloseHandle", "WaitForSingleObject", "CloseHandle"};
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), one.begin(), one.end());
    EXPECT_EQ(calls, expected);
}

TEST_F(DriverPackagesTest, MissingPnpUtilShowsOneBoxPerPackageAndStillSucceeds) {
    const std::vector<std::string> packages = PublishPhonePackages();
    m.files.remove(kPnpUtil);
    EXPECT_EQ(DeleteDriverPackages(kWindows7), 1);
    ASSERT_EQ(m.ui.boxes.size(), 3u);
    for (const winsim::MessageBoxRecord& box : m.ui.boxes) {
        EXPECT_EQ(box.captionUtf8, "Error");
        EXPECT_EQ(box.textUtf8, "The system cannot find the file specified.\r\n");
    }
    ASSERT_EQ(m.processes.starts.size(), 3u);
    for (const winsim::ProcessStart& start : m.processes.starts) EXPECT_EQ(start.error, (DWORD)ERROR_FILE_NOT_FOUND);
    for (const std::string& name : packages) EXPECT_NE(m.driverStore.find(m.files, name), nullptr) << name;
}

TEST_F(DriverPackagesTest, PlantedPnpUtilBesideTheProgramOrInTheCurrentDirectoryNeverRuns) {
    const std::vector<std::string> packages = PublishPhonePackages();
    Plant(ProgramFolder() + "pnputil.exe");
    m.files.createDirectory("C:\\Downloads");
    Plant("C:\\Downloads\\pnputil.exe");
    m.files.currentDirectory = "C:\\Downloads";
    EXPECT_EQ(DeleteDriverPackages(kWindows7), 1);
    EXPECT_TRUE(planted.empty()) << ::testing::PrintToString(planted);
    EXPECT_EQ(m.processes.runsOf(kPnpUtil).size(), 3u);
    for (const std::string& name : packages) EXPECT_EQ(m.driverStore.find(m.files, name), nullptr) << name;
}

TEST_F(DriverPackagesTest, TheOldCommandLineSearchWouldHaveRunThePlantedCopy) {
    // The form the product no longer uses: no application name, so Windows
    // looks for the module beside the program first.
    Plant(ProgramFolder() + "pnputil.exe");
    std::string line = "pnputil.exe -f -d oem0.inf";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, kFlags, nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(planted.size(), 1u);
}

TEST_F(DriverPackagesTest, FailedListQueriesShowTheErrorAndTouchNothing) {
    const std::vector<std::string> packages = PublishPhonePackages();
    // The size query, then the second call that fills the buffer.
    for (int nth : {0, 1}) {
        SCOPED_TRACE(nth);
        m.faults.clear();
        m.ui.boxes.clear();
        m.faults.fail("SetupGetInfFileListA", ERROR_ACCESS_DENIED, nth);
        EXPECT_EQ(DeleteDriverPackages(kWindows7), 0);
        ASSERT_EQ(m.ui.boxes.size(), 1u);
        EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
        EXPECT_EQ(m.ui.boxes[0].textUtf8, "Access is denied.\r\n");
        EXPECT_EQ(m.faults.callsOf("SetupGetInfFileListA"), nth + 1);
        EXPECT_TRUE(m.processes.starts.empty());
        EXPECT_TRUE(m.handles.localAllocations.empty()) << "the list buffer is freed";
    }
    for (const std::string& name : packages) EXPECT_NE(m.driverStore.find(m.files, name), nullptr) << name;
}

TEST_F(DriverPackagesTest, UnallocatableListShowsTheError) {
    PublishPhonePackages();
    m.faults.fail("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(DeleteDriverPackages(kWindows7), 0);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_TRUE(m.processes.starts.empty());
}

TEST_F(DriverPackagesTest, FailedRunsAndUnknownPackagesAreSilent) {
    // The utility's own failure is only logged.
    EXPECT_EQ(RunPnpUtilDelete("oem42.inf"), 1);
    ASSERT_EQ(m.processes.starts.size(), 1u);
    EXPECT_EQ(m.processes.starts[0].commandLine, "pnputil.exe -f -d oem42.inf");
    EXPECT_NE(m.processes.starts[0].exitCode, 0u);
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.faults.callsOf("GetExitCodeProcess"), 1);
}

TEST_F(DriverPackagesTest, SystemFolderThatCannotBeFoundIsShown) {
    m.faults.fail("GetSystemDirectoryA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunPnpUtilDelete("oem1.inf"), 1);
    EXPECT_TRUE(m.processes.starts.empty());
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_EQ(m.ui.boxes[0].textUtf8, "Access is denied.\r\n");
}

TEST_F(DriverPackagesTest, SystemFolderTooLongForAPathIsRefused) {
    // A Windows folder so deep that "\pnputil.exe" no longer fits 260
    // characters: the utility is not started from a cut path.
    m.system.windowsDir = "C:\\" + std::string(240, 'W');
    EXPECT_EQ(RunPnpUtilDelete("oem1.inf"), 1);
    EXPECT_TRUE(m.processes.starts.empty());
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_EQ(m.ui.boxes[0].textUtf8, "The filename or extension is too long.\r\n");
}
