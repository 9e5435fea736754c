// Placeholder substitution and message formatting with hostile settings
// values. The settings file gives the series (NAME), the category (NAME2)
// and an icon (ICON) in the machine's code page; every string the program
// loads afterwards has "<%SERIES%>" and "<%CATEGORY%>" replaced, and the
// message boxes format the substituted text with wvsprintfA. Values may
// hold '%' (doubled before formatting), the placeholders themselves
// (inserted once), double-byte characters whose second byte is '\\' or
// '%' look-alikes, and anything else.
//
// The properties checked: every buffer stays terminated within its size,
// a text cut to its buffer ends on a character boundary and is the longest
// such prefix of the substituted text, the messages read exactly as the
// templates with the values inserted, and nothing is left open.
//
// Input: one byte for the code page, two for a buffer size, then the three
// values (FuzzedDataProvider's length-delimited strings).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/messages.h"
#include "fuzz_machine.h"
#include "res/resource.h"

namespace {

const char kSeriesPlaceholder[] = "<%SERIES%>";
const char kCategoryPlaceholder[] = "<%CATEGORY%>";

// Left to right, continuing after each inserted value (UTF-8 is
// self-synchronising, so this matches the product's UTF-16 replacement).
std::string ReplaceAll(std::string text, const std::string& placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

// The longest prefix of at most `limit` bytes that does not split a
// double-byte character of the machine's code page.
std::string WholeCharacterPrefix(const std::string& text, size_t limit) {
    size_t n = 0;
    while (n < text.size()) {
        const size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + step > limit) break;
        n += step;
    }
    return text.substr(0, n);
}

// The string as LoadStringA gives it in a buffer of `size` bytes, before
// any substitution (UTF-8).
std::string RawString(winsim::Machine& m, UINT id, int size = kMessageTextSize) {
    std::string text(static_cast<size_t>(size), '\0');
    LoadStringA(m.modules.programInstance, id, &text[0], size);
    return winsim::acpToUtf8(text.c_str());
}

// What the program should make of string `id` loaded into `size` bytes: the
// series pair applied first, then the category pair (UTF-8). A buffer too
// small for the stored string cuts it before the substitution, placeholders
// included.
std::string Substituted(winsim::Machine& m, const AppContext& context, UINT id, int size = kMessageTextSize) {
    const std::string series =
        ReplaceAll(RawString(m, id, size), kSeriesPlaceholder, winsim::acpToUtf8(context.szSeries));
    return ReplaceAll(series, kCategoryPlaceholder, winsim::acpToUtf8(context.szCategory));
}

void CheckLoadedString(winsim::Machine& m, const AppContext& context, UINT id, int size) {
    std::unique_ptr<char[]> buffer(new char[size]);
    std::memset(buffer.get(), 'X', static_cast<size_t>(size));
    LoadResString(id, buffer.get(), size);
    FUZZ_CHECK(IsTerminatedWithin(buffer.get(), static_cast<size_t>(size)), "string %u not terminated in %d bytes", id,
               size);
    const std::string expected =
        WholeCharacterPrefix(winsim::utf8ToAcp(Substituted(m, context, id, size)), static_cast<size_t>(size - 1));
    FUZZ_CHECK(buffer.get() == expected, "string %u in %d bytes reads [%s], expected [%s]", id, size, buffer.get(),
               expected.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const CodePage codePage = CodePageOf(input.ConsumeIntegral<uint8_t>());
    const int bufferSize = input.ConsumeIntegralInRange<int>(1, 300);
    const std::string name = input.ConsumeRandomLengthString(300);
    const std::string name2 = input.ConsumeRandomLengthString(300);
    const std::string icon = input.ConsumeRandomLengthString(300);

    FuzzMachine machine(codePage);
    winsim::Machine& m = machine.m;
    // An icon the values can name, and a folder that is no icon.
    m.files.writeFile(machine.ProgramFolder() + "icons\\a.ico", "ICO");
    m.files.createDirectory(machine.ProgramFolder() + "b.ico");
    machine.WriteSettings("[UsbInst]\r\nNAME=" + name + "\r\nNAME2=" + name2 + "\r\nICON=" + icon + "\r\n");
    machine.InitContext();
    const AppContext& context = machine.context;
    CheckSettingsContext(context);

    for (UINT id : {IDS_PLACEHOLDER_SERIES, IDS_PLACEHOLDER_CATEGORY, IDS_MSG_NOT_ADMINISTRATOR, IDS_PRODUCT_TITLE})
        CheckLoadedString(m, context, id, bufferSize);

    ShowInfoMessage(nullptr, IDS_MSG_NOT_ADMINISTRATOR);
    ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
    FUZZ_CHECK(m.ui.boxes.size() == 2, "%zu message boxes", m.ui.boxes.size());
    // wvsprintfA gives back one '%' for each doubled one, so the values
    // read as they were written.
    const std::string expected = Substituted(m, context, IDS_MSG_NOT_ADMINISTRATOR);
    FUZZ_CHECK(m.ui.boxes[0].textUtf8 == expected, "message 17300 reads [%s], expected [%s]",
               m.ui.boxes[0].textUtf8.c_str(), expected.c_str());
    FUZZ_CHECK(m.ui.boxes[1].textUtf8 == RawString(m, IDS_MSG_INSTALL_FAILED), "message 17100 reads [%s]",
               m.ui.boxes[1].textUtf8.c_str());
    return 0;
}
