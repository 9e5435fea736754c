// The INF ownership test on arbitrary bytes. CInstall::IsProductInf opens
// the file with SetupOpenInfFileA (INF_STYLE_WIN4), reads field 2 of the
// first line of the phone's model section and looks for the phone's
// hardware ID in it; an oem*.inf it accepts is deleted. The file's bytes
// reach winsim's INF parser whole: byte-order marks, section lines without
// ']', quotes left open, line continuations, %strkey% tokens, Ctrl-Z and
// NUL characters.
//
// The properties checked: no crash, no handle left open, and a file is
// accepted only when its first model line's second field, read back
// through the Setup API, holds the hardware ID (case aside).
//
// Input: one byte for the code page, then the file.
#include <windows.h>
#include <setupapi.h>

#include <cctype>
#include <cstring>
#include <string>

#include "fuzz_machine.h"
#include "install/oem_inf_store.h"

namespace {

const char kInfPath[] = "C:\\WINDOWS\\INF\\oem7.inf";

// What the Setup API gives as field 2 of the model section's first line
// ("" when there is none), in upper case.
std::string FirstHardwareIdField() {
    HINF inf = SetupOpenInfFileA(kInfPath, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return std::string();
    std::string result;
    INFCONTEXT line;
    char field[1024] = {};
    if (SetupFindFirstLineA(inf, "Vantor_wmc", nullptr, &line) &&
        SetupGetStringFieldA(&line, 2, field, sizeof(field), nullptr)) {
        result = field;
        for (char& c : result)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    SetupCloseInfFile(inf);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    FuzzMachine machine(CodePageOf(data[0]));
    winsim::Machine& m = machine.m;
    m.files.writeFile(kInfPath, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    machine.InitContext();

    CInstall install(12);
    const int result = install.IsProductInf(kInfPath);
    const bool expected = FirstHardwareIdField().find("VID_1A2B&PID_3C4D") != std::string::npos;
    FUZZ_CHECK(result == (expected ? 1 : 0), "IsProductInf gave %d", result);
    // The bare name is looked up in the system INF folder.
    FUZZ_CHECK(install.IsProductInf("oem7.inf") == result, "the bare name gave another answer");
    return 0;
}
