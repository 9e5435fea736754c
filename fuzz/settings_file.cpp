// The settings reader on a settings file of arbitrary bytes: whatever the
// file holds (no section, sections and keys repeated, lines without '=',
// quotes, overlong values, bytes the code page does not define), the names
// stay within their buffers, are never empty, never end inside a
// double-byte character, and the icon is a file in the program's folder or
// nothing.
//
// Input: one byte for the code page, then the file.
#include <string>

#include "app/placeholders.h"
#include "fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    FuzzMachine machine(CodePageOf(data[0]));
    winsim::Machine& m = machine.m;
    m.files.writeFile(machine.ProgramFolder() + "phone.ico", "ICO");
    m.files.createDirectory(machine.ProgramFolder() + "folder.ico");
    machine.WriteSettings(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    machine.InitContext();

    const AppContext& context = machine.context;
    CheckSettingsContext(context);
    // The two placeholders are registered, in order, whatever the file held.
    const auto& pairs = g_placeholders.Pairs();
    FUZZ_CHECK(pairs.size() == 2 && pairs[0].first == "<%SERIES%>" && pairs[1].first == "<%CATEGORY%>" &&
                   pairs[0].second == context.szSeries && pairs[1].second == context.szCategory,
               "placeholders not registered as the settings say");
    return 0;
}
