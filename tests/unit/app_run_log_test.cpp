// The run log in the Windows folder: its lines, its roll-over past 1 MB,
// and its refusal of a link or folder planted under its name.
#include <algorithm>
#include <string>
#include <vector>

#include "earlier_installation.h"
#include "product_fixture.h"

namespace {

const char kLog[] = "C:\\WINDOWS\\210QX_USB.log";
const char kOldLog[] = "C:\\WINDOWS\\210QX_USB.old.log";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CRLF";
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& fields) {
    for (const std::string& line : lines)
        if (line.substr(20) == fields) return true;
    return false;
}

class RunLogTest : public ProductTest {
protected:
    RunLogTest() {
        m.system.setJapanese();
        seeded::LayOutMedia(m);
        seeded::SeedEarlierInstallation(m);
    }
    std::vector<std::string> LogLines() { return Lines(m.files.read(kLog).value_or("")); }
};

TEST_F(RunLogTest, AQuietRunLogsWhatItDidWhatFailedAndItsExitCode) {
    m.system.localTime = {2026, 12, 3, 9, 8, 7, 6, 0};  // a Wednesday
    m.files.remove("C:\\Program Files\\210QX\\Drivers");
    // Each pnputil.exe, reading the log as it starts, finds there every line
    // before its own (each package handed to it, with its exit code).
    std::vector<std::string> seen;
    m.processes.setBehaviour(winsim::Processes::kPnpUtilPath, [&](const std::string& line, winsim::Machine& machine) {
        machine.files.tryReadFile(kLog, &seen.emplace_back());
        return winsim::runPnpUtil(line, machine);
    });
    ASSERT_EQ(RunProgram("/quiet"), 1603);
    const std::string text = m.files.read(kLog).value_or("");
    ASSERT_EQ(seen.size(), 3u);
    for (size_t i = 0, at = 0; i < seen.size(); ++i, ++at)
        EXPECT_EQ(seen[i], text.substr(0, text.rfind('\n', at = text.find("\tpnputil\toem", at)) + 1));
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "2026-12-09 08:07:06\tstart\t210QX_USB 1.0.0.2\tWindows 6.1.7601\t64-bit\t/quiet");
    EXPECT_EQ(lines.back(), "2026-12-09 08:07:06\texit\t1603");
    for (const char* expected :
         {"device removed\tUSB\\VID_1A2B&PID_3C4D&MI_00", "device removed\tUSB\\VID_1A2B&PID_3C4D",
          "service deleted\tqtx0bus", "file deleted\tC:\\WINDOWS\\SYSTEM32\\DRIVERS\\qtx0wh.sys",
          "install flag\t1\t0", "error\t3\t指定されたパスが見つかりません。  ",
          "message\t17100\tお使いのパソコンにUSBドライバを設定することができません。 インストールプログラムを終了した後、"
          "USBドライバを正しくインストールするための詳しい情報につき、マニュアルを参照してください。"})
        EXPECT_TRUE(HasLine(lines, expected)) << expected << "\n" << ::testing::PrintToString(lines);
}

TEST_F(RunLogTest, EachRunAppendsAndAFullLogMakesWayForTheNext) {
    ASSERT_EQ(RunProgram("/I"), 0);
    auto lines = LogLines();
    EXPECT_TRUE(HasLine(lines, "install flag\t0\t1"));
    size_t staged = 0, copied = 0;
    for (const std::string& line : lines) {
        staged += line.find("\tINF staged\tC:\\Program Files\\210QX\\Drivers\\") != std::string::npos &&
                  line.find("\tC:\\WINDOWS\\INF\\oem") != std::string::npos;
        copied += line.find("\tmetadata package copied\t") != std::string::npos;
    }
    EXPECT_EQ(staged, 3u);
    EXPECT_EQ(copied, 3u);

    ASSERT_EQ(RunProgram("/R"), 0);
    const auto both = LogLines();
    ASSERT_GT(both.size(), lines.size());
    EXPECT_EQ(std::vector<std::string>(both.begin(), both.begin() + lines.size()), lines);
    EXPECT_EQ(both[lines.size()].substr(19, 7), "\tstart\t");
    EXPECT_EQ(both.back().substr(19), "\texit\t0");

    // Exactly 1 MB stays; past it the log becomes the old log, replacing
    // the one there, before the next run writes.
    const std::string megabyte(1024 * 1024, 'x');
    m.files.writeFile(kOldLog, "older");
    m.files.writeFile(kLog, megabyte);
    RunProgram("/R");
    EXPECT_EQ(m.files.read(kOldLog), std::optional<std::string>("older"));
    const std::string full = m.files.read(kLog).value_or("");
    EXPECT_EQ(full.substr(0, megabyte.size()), megabyte);
    RunProgram("/R");
    EXPECT_EQ(m.files.read(kOldLog), std::optional<std::string>(full));
    EXPECT_EQ(LogLines().front().substr(19, 7), "\tstart\t");
}

TEST_F(RunLogTest, ALinkOrAFolderUnderTheLogsNameIsNeverWritten) {
    // The call right before the log's opening checks its path.
    m.faults.clear();
    RunProgram("/quiet /R");
    const std::vector<std::string> calls = m.faults.callLog();
    const long check = std::find(calls.begin(), calls.end(), "CreateFileA") - calls.begin() - 1;
    ASSERT_EQ(calls.at(check), "GetFileAttributesA");
    m.files.remove(kLog);
    m.files.addFileLink(kLog);
    EXPECT_EQ(RunProgram("/quiet /R"), 0);
    EXPECT_EQ(m.files.read(kLog), std::optional<std::string>(""));
    EXPECT_TRUE(m.files.attributes(kLog) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_TRUE(m.unimplemented.empty()) << "the link was never followed";
    // Planted after that check (which found nothing), it is opened as itself.
    m.faults.clear();
    m.faults.failCallNumber(check, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RunProgram("/quiet /R"), 0);  // the fixture fails any call that followed the link
    // A folder of that name stays as it is.
    m.files.remove(kLog);
    m.files.writeFile(std::string(kLog) + "\\kept", "kept");
    RunProgram("/quiet /R");
    EXPECT_EQ(m.files.read(std::string(kLog) + "\\kept"), std::optional<std::string>("kept"));
    EXPECT_FALSE(m.files.exists(kOldLog));
}

}  // namespace
