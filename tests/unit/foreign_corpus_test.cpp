// The foreign-driver corpus beside an earlier installation of the phone's
// drivers: in install and in remove mode, on every system the program tells
// apart, the program removes the phone's items and leaves every look-alike
// exactly as it was; a preview there lists what the run then does.
#include <cctype>
#include <set>
#include <sstream>

#include "app/environment.h"
#include "earlier_installation.h"
#include "foreign_corpus.h"
#include "install/oem_inf_store.h"
#include "product_fixture.h"
#include "winsim/machine_image.h"

namespace {

struct Release {
    int code;
    void (winsim::SystemInfo::*preset)();
};

const Release kReleases[] = {
    {OS_WIN95, &winsim::SystemInfo::setWindows95},         {OS_WIN98, &winsim::SystemInfo::setWindows98},
    {OS_WINME, &winsim::SystemInfo::setWindowsMe},         {OS_NT_OTHER, &winsim::SystemInfo::setNt4},
    {OS_WIN2000, &winsim::SystemInfo::setWindows2000},     {OS_WINXP, &winsim::SystemInfo::setXp},
    {OS_WIN2003, &winsim::SystemInfo::setServer2003},      {OS_VISTA, &winsim::SystemInfo::setVista},
    {OS_WIN7, &winsim::SystemInfo::setWindows7},           {OS_WIN2008, &winsim::SystemInfo::setServer2008},
    {OS_WIN2008R2, &winsim::SystemInfo::setServer2008R2},  {OS_NEWER, &winsim::SystemInfo::setWindows10},
};

struct CorpusRun {
    Release release;
    const char* commandLine;
    const char* mode;
};

void PrintTo(const CorpusRun& run, std::ostream* out) { *out << run.mode << " on code " << run.release.code; }

std::vector<CorpusRun> AllRuns() {
    std::vector<CorpusRun> runs;
    for (const char* mode : {"Install", "Remove"})
        for (const Release& release : kReleases)
            runs.push_back({release, mode[0] == 'I' ? "" : "/R", mode});
    return runs;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class ForeignCorpusTest : public ProductTest {
protected:
    void Prepare(void (winsim::SystemInfo::*preset)()) {
        (m.system.*preset)();
        m.system.setJapanese();
        seeded::LayOutMedia(m);
        earlier_ = seeded::SeedEarlierInstallation(m, /*xp=*/true);
        corpus_.Seed(m);
    }

    bool PhonePackageLeft() {
        for (const auto& name : earlier_.publishedPackages)
            if (m.driverStore.find(m.files, name)) return true;
        return false;
    }

    seeded::EarlierInstallation earlier_;
    corpus::ForeignCorpus corpus_;
};

class EveryReleaseAndMode : public ForeignCorpusTest, public ::testing::WithParamInterface<CorpusRun> {};

TEST_P(EveryReleaseAndMode, LeavesEveryForeignItemAsItWas) {
    const CorpusRun& run = GetParam();
    Prepare(run.release.preset);
    const int exitCode = RunProgram(run.commandLine);

    EXPECT_EQ(exitCode, 0);
    const auto changes = corpus_.Changes(m);
    EXPECT_TRUE(changes.empty()) << "foreign items changed:" << Lines(changes);
    // The look-alikes did not keep the program from the phone's own items.
    const bool removes = run.release.code >= OS_WIN2000;
    for (const auto& device : seeded::kPhoneDevices) EXPECT_EQ(m.devices.exists(device), !removes) << device;
    for (const auto& device : corpus_.PhoneDeviceIds()) EXPECT_EQ(m.devices.exists(device), !removes) << device;
    for (const auto& service : seeded::kPhoneServices) EXPECT_EQ(m.services.exists(service), !removes) << service;
    if (run.commandLine[0] != '\0') {
        EXPECT_EQ(PhonePackageLeft(), !removes);
    }
    for (const auto& box : m.ui.boxes)
        EXPECT_TRUE(box.captionUtf8 == "Error" || box.textUtf8 == kInstallFailedText)
            << box.captionUtf8 << ": " << box.textUtf8;
    EXPECT_EQ(m.handles.openCount(), 0u) << ::testing::PrintToString(m.handles.describeOpen());
    EXPECT_TRUE(m.handles.localAllocations.empty());
    // The launcher of the earlier installation is told; the look-alikes not.
    EXPECT_EQ(m.ui.window(earlier_.launcher)->received.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, EveryReleaseAndMode, ::testing::ValuesIn(AllRuns()),
                         [](const ::testing::TestParamInfo<CorpusRun>& info) {
                             return std::string(info.param.mode) + "Code" + std::to_string(info.param.release.code);
                         });

// A preview of each mode on each release changes nothing, and its list is
// what the run then does: each "would" line is a line of the run's log
// (without the fields only the action yields), in the run's order, and
// the run does nothing the preview did not list.
class PreviewOfEveryReleaseAndMode : public ForeignCorpusTest, public ::testing::WithParamInterface<CorpusRun> {
protected:
    static constexpr const char* kLog = "C:\\WINDOWS\\210QX_USB.log";
    // Each line of the log from `from` on, without its time.
    std::vector<std::string> LogLines(size_t from = 0) {
        std::vector<std::string> lines;
        std::istringstream text(m.files.read(kLog).value_or(""));
        for (std::string line; std::getline(text, line);) lines.push_back(line.substr(20, line.size() - 21));
        return std::vector<std::string>(lines.begin() + static_cast<long>(from), lines.end());
    }
};

// The run's lines that a preview lists, with the fields only the action yields cut.
std::vector<std::string> ListedLines(const std::vector<std::string>& lines) {
    const std::set<std::string> listed = {"file deleted",     "device removed", "service deleted",
                                          "pnputil",          "INF staged",     "metadata package removed",
                                          "metadata package copied", "folder created", "install flag",
                                          "error",            "message"};
    const std::set<std::string> oneField = {"device removed", "pnputil", "INF staged"};
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        const std::string event = line.substr(0, line.find('\t'));
        if (!listed.count(event)) continue;
        out.push_back(oneField.count(event) ? line.substr(0, line.find('\t', event.size() + 1)) : line);
    }
    return out;
}

TEST_P(PreviewOfEveryReleaseAndMode, ListsWhatTheRunDoesAndChangesNothing) {
    const CorpusRun& run = GetParam();
    Prepare(run.release.preset);
    // An instance of interface 0 that names the composite device too: removed once.
    m.devices.add({"USB\\VID_1A2B&PID_3C4D&MI_00\\7&0A&0&0000",
                   {"USB\\VID_1A2B&PID_3C4D&MI_00", "USB\\VID_1A2B&PID_3C4D"}, false, "", "", "", "", {}});
    const winsim::MachineImage before = winsim::imageOf(m, {kLog});
    EXPECT_EQ(RunProgram((std::string("/list ") + run.commandLine).c_str()), 0);
    const std::vector<std::string> changes = winsim::differences(before, winsim::imageOf(m, {kLog}));
    EXPECT_TRUE(changes.empty()) << Lines(changes);
    std::vector<std::string> would;
    size_t items = 0;
    for (const std::string& line : LogLines()) {
        if (line.compare(0, 6, "would ") != 0) continue;
        would.push_back(line.substr(6));
        items += line.compare(0, 12, "would error\t") != 0 && line.compare(0, 14, "would message\t") != 0;
    }
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_NE(m.ui.boxes[0].textUtf8.find("対象の項目: " + std::to_string(items) + " 件"), std::string::npos);

    const size_t previewLines = LogLines().size();
    RunProgram(run.commandLine);
    EXPECT_EQ(would, ListedLines(LogLines(previewLines)));
    EXPECT_FALSE(winsim::differences(before, winsim::imageOf(m, {kLog})).empty()) << "the image sees the run";
}

std::vector<CorpusRun> PreviewRuns() {
    std::vector<CorpusRun> runs;
    for (const char* mode : {"Default", "Install", "Remove"})
        for (const Release& release : kReleases)
            runs.push_back({release, mode[0] == 'D' ? "" : mode[0] == 'I' ? "/I" : "/R", mode});
    return runs;
}

INSTANTIATE_TEST_SUITE_P(Corpus, PreviewOfEveryReleaseAndMode, ::testing::ValuesIn(PreviewRuns()),
                         [](const ::testing::TestParamInfo<CorpusRun>& info) {
                             return std::string(info.param.mode) + "Code" + std::to_string(info.param.release.code);
                         });

// A corpus INF that the program's own test takes for the phone's would make
// its deletion right, not a fault: the corpus must hold none.
TEST_F(ForeignCorpusTest, NoCorpusInfPassesTheProgramsInfTest) {
    Prepare(&winsim::SystemInfo::setWindows7);
    InitContext();
    CInstall store(OS_WIN7);
    ASSERT_EQ(corpus_.InfLocations().size(), corpus_.counts().infFiles);
    for (const auto& inf : corpus_.InfLocations())
        EXPECT_EQ(store.IsProductInf(inf.second.c_str()), 0) << inf.first << " at " << inf.second;
    // The test itself accepts the phone's INF files where they lie.
    for (const auto& name : earlier_.publishedPackages)
        EXPECT_EQ(store.IsProductInf(("C:\\WINDOWS\\INF\\" + name).c_str()), 1) << name;
}

TEST_F(ForeignCorpusTest, NoCorpusDeviceCarriesOneOfThePhonesHardwareIds) {
    const std::string phoneIds[] = {"USB\\VID_1A2B&PID_3C4D", "USB\\VID_1A2B&PID_3C4D&MI_00",
                                    "USB\\VID_1A2B&PID_3C4D&MI_03"};
    for (const corpus::Row& row : corpus::ReadList("devices.txt")) {
        if (row[1] == "-") continue;
        for (const std::string& id : corpus::SplitEntries(row[1]))
            for (const std::string& phoneId : phoneIds) EXPECT_NE(UpperAscii(id), phoneId) << row[0];
    }
}

// Folders that bear the names of the phone's driver files, where the phone's
// files would be: the removal deletes the files around them and leaves the
// folders, attributes and contents, as they were.
TEST_F(ForeignCorpusTest, FoldersNamedLikeThePhonesDriverFilesStayAsTheyWere) {
    Prepare(&winsim::SystemInfo::setXp);
    const std::string folders[] = {"C:\\WINDOWS\\system32\\drivers\\qtx0wh.sys",
                                   "C:\\WINDOWS\\LastGood\\system32\\drivers\\qtx0cm.sys"};
    for (const std::string& folder : folders) {
        m.files.remove(folder);
        m.files.writeFile(folder + "\\settings.ini", "[Other]");
        m.files.setAttributes(folder, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
    EXPECT_EQ(RunProgram("/R"), 0);
    for (const std::string& folder : folders) {
        EXPECT_EQ(m.files.attributes(folder), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                                      FILE_ATTRIBUTE_SYSTEM))
            << folder;
        EXPECT_EQ(m.files.read(folder + "\\settings.ini"), std::string("[Other]")) << folder;
    }
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys"));
    EXPECT_TRUE(corpus_.Changes(m).empty());
}

TEST_F(ForeignCorpusTest, TheImageSeesEveryKindOfChange) {
    Prepare(&winsim::SystemInfo::setWindows7);
    EXPECT_TRUE(corpus_.Changes(m).empty());
    const auto& counts = corpus_.counts();
    RecordProperty("corpus_items", static_cast<int>(counts.packages + counts.plainInfs + counts.devices +
                                                    counts.services + counts.files + counts.registryValues));

    m.files.setAttributes("C:\\WINDOWS\\system32\\drivers\\qtx0cm.sys.old", FILE_ATTRIBUTE_NORMAL);
    m.files.writeFile("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak", "changed");
    m.files.remove("C:\\WINDOWS\\INF\\oem46.inf");
    m.driverStore.deletePublished(m.files, corpus_.PublishedName("other_pid.inf"));
    m.devices.setPresent(corpus_.DeviceIds()[2], false);
    m.devices.remove(corpus_.DeviceIds()[0]);
    m.services.setRunning("qtx0bus2", false);
    m.registry.setDword("HKLM\\SOFTWARE\\Wow6432Node\\VANTOR\\VANTOR 3G USB Driver 210QY", "InstallFlag", 0);
    m.registry.createKey(winsim::Devices::enumKeyPath(corpus_.DeviceIds()[3]) + "\\Device Parameters");
    for (auto& window : m.ui.windows)
        if (window.className == "HyphenLauncher") window.received.push_back({WM_DEVICECHANGE, 0, 0, true});

    const std::string changes = Lines(corpus_.Changes(m));
    for (const char* item :
         {"file C:\\WINDOWS\\system32\\drivers\\qtx0cm.sys.old", "file C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak",
          "file C:\\WINDOWS\\INF\\oem46.inf", "package ", "device USB\\VID_1A2B&PID_3C4D&MI_03X",
          "device USB\\VID_1A2B&PID_3C4D&REV_0100", "service qtx0bus2",
          "value HKLM\\SOFTWARE\\Wow6432Node\\VANTOR\\VANTOR 3G USB Driver 210QY : InstallFlag", "Device Parameters: appeared",
          "HyphenLauncher \"Launcher with a hyphen\", 1 messages"})
        EXPECT_NE(changes.find(item), std::string::npos) << item << " not among" << changes;
}

}  // namespace
