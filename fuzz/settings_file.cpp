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
    const PlaceholderTable& table = g_placeholders;
    FUZZ_CHECK(table.Count() == 2 && std::string(table.Placeholder(0)) == "<%SERIES%>" &&
                   std::string(table.Placeholder(1)) == "<%CATEGORY%>" &&
                   std::string(table.Value(0)) == context.szSeries && std::string(table.Value(1)) == context.szCategory,
               "placeholders not registered as the settings say");
    return 0;
}
