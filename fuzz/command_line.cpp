// The command line as the program receives it: any bytes up to the first
// NUL. Two consumers read it:
// - ScanCommandLine, which walks it byte by byte looking one byte ahead of
//   every '/' and '-';
// - the 32-bit build on 64-bit Windows, which hands it unchanged to the
//   64-bit build behind the quoted program path.
//
// Input: one byte whose low bit picks the code page and whose next bit
// asks for the hand-over, then the command line.
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/wow64_relaunch.h"
#include "fuzz_machine.h"

namespace {

// The switches, found another way: each introducer and the byte after it.
CommandLineSwitches ExpectedSwitches(const std::string& line) {
    CommandLineSwitches expected;
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '/' && line[i] != '-') continue;
        const int letter = std::tolower(static_cast<unsigned char>(line[i + 1]));
        if (letter == 'i') expected.runMode = RunModeInstall;
        if (letter == 'r') expected.runMode = RunModeRemove;
        if (letter == 'v') expected.flagV = 0;
    }
    return expected;
}

void CheckScan(const std::string& line) {
    // An exactly sized copy: a read past the terminator is an overrun that
    // AddressSanitizer reports.
    std::unique_ptr<char[]> text(new char[line.size() + 1]);
    std::memcpy(text.get(), line.c_str(), line.size() + 1);
    CommandLineSwitches switches;
    ScanCommandLine(text.get(), switches);
    const CommandLineSwitches expected = ExpectedSwitches(line);
    FUZZ_CHECK(switches.runMode == expected.runMode && switches.flagV == expected.flagV,
               "scan gave mode %d, V %d; expected mode %d, V %d", switches.runMode, switches.flagV, expected.runMode,
               expected.flagV);
    FUZZ_CHECK(std::memcmp(text.get(), line.c_str(), line.size() + 1) == 0, "the scan changed the command line");
}

void CheckHandOver(CodePage codePage, const std::string& line) {
    FuzzMachine machine(codePage);
    winsim::Machine& m = machine.m;
    m.system.wow64 = true;
    const std::string nativeBuild = machine.ProgramFolder() + kNativeBuildName;
    std::string seen;
    int runs = 0;
    m.processes.install(nativeBuild, [&](const std::string& commandLine, winsim::Machine&) -> DWORD {
        seen = commandLine;
        ++runs;
        return 0;
    });
    machine.InitContext();
    std::unique_ptr<char[]> text(new char[line.size() + 1]);
    std::memcpy(text.get(), line.c_str(), line.size() + 1);
    RunNativeBuild(text.get());
    FUZZ_CHECK(runs == 1, "the 64-bit build ran %d times", runs);
    const std::string expected = "\"" + nativeBuild + "\" " + winsim::acpToUtf8(line);
    FUZZ_CHECK(seen == expected, "the 64-bit build got [%s], expected [%s]", seen.c_str(), expected.c_str());
    FUZZ_CHECK(m.ui.boxes.empty(), "a message box was shown");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string line = bytes.substr(0, bytes.find('\0'));
    CheckScan(line);
    if (data[0] & 2) CheckHandOver(CodePageOf(data[0]), line);
    return 0;
}
