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

bool IsIntroducer(char c) { return c == '/' || c == '-'; }

CommandLineSwitches Scan(const std::string& line) {
    // An exactly sized copy: a read past the terminator is an overrun that
    // AddressSanitizer reports.
    std::unique_ptr<char[]> text(new char[line.size() + 1]);
    std::memcpy(text.get(), line.c_str(), line.size() + 1);
    CommandLineSwitches switches;
    ScanCommandLine(text.get(), switches);
    FUZZ_CHECK(std::memcmp(text.get(), line.c_str(), line.size() + 1) == 0, "the scan changed the command line");
    return switches;
}

bool Same(const CommandLineSwitches& a, const CommandLineSwitches& b) {
    return a.runMode == b.runMode && a.flagV == b.flagV;
}

// Properties of the scan that do not restate it: only the bytes right after
// a '/' or '-' decide, so dropping every other byte (but the introducers)
// changes nothing, and neither does the case of the byte after an
// introducer; a line without introducers leaves the defaults.
void CheckScan(const std::string& line) {
    const CommandLineSwitches switches = Scan(line);
    std::string decisive;
    std::string otherCase = line;
    bool anyIntroducer = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const bool afterIntroducer = i > 0 && IsIntroducer(line[i - 1]);
        anyIntroducer = anyIntroducer || IsIntroducer(line[i]);
        if (IsIntroducer(line[i]) || afterIntroducer) decisive += line[i];
        if (afterIntroducer && !IsIntroducer(line[i])) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            if (std::isalpha(c)) otherCase[i] = static_cast<char>(std::islower(c) ? std::toupper(c) : std::tolower(c));
        }
    }
    const CommandLineSwitches fromDecisive = Scan(decisive);
    FUZZ_CHECK(Same(switches, fromDecisive), "mode %d, V %d; from the switch bytes alone [%s]: mode %d, V %d",
               switches.runMode, switches.flagV, decisive.c_str(), fromDecisive.runMode, fromDecisive.flagV);
    const CommandLineSwitches fromOtherCase = Scan(otherCase);
    FUZZ_CHECK(Same(switches, fromOtherCase), "the case of a switch letter changed the result: [%s]", otherCase.c_str());
    if (!anyIntroducer) {
        const CommandLineSwitches defaults = Scan(std::string());
        FUZZ_CHECK(Same(switches, defaults), "a line without '/' or '-' changed the defaults");
    }
}

void CheckHandOver(CodePage codePage, const std::string& line) {
    FuzzMachine machine(codePage);
    winsim::Machine& m = machine.m;
    m.system.process32 = true;
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
