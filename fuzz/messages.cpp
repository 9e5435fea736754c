// Placeholder substitution and message formatting with hostile settings
// values. The settings file gives the series (NAME), the category (NAME2)
// and an icon (ICON) in the machine's code page; every string the program
// loads afterwards has "<%SERIES%>" and "<%CATEGORY%>" replaced, and the
// message boxes format the substituted text with wvsprintfA. Values may
// hold '%' (doubled before formatting), the placeholders themselves,
// double-byte characters whose second byte is '\\' or '%' look-alikes, and
// anything else.
//
// The properties checked, none of them a second copy of the substitution:
// every buffer holds a terminator within its size and a text never ends
// inside a double-byte character; with values that hold no placeholder, a
// string loaded whole holds none either; the text of a template around its
// placeholders is all there, in order; a message box names the category
// where its template does, and reads as loaded where the template has no
// placeholder; nothing is left open.
//
// Input: one byte for the code page, two for a buffer size, then the three
// values (FuzzedDataProvider's length-delimited strings).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "fuzz_machine.h"
#include "res/resource.h"

namespace {

const char kSeriesPlaceholder[] = "<%SERIES%>";
const char kCategoryPlaceholder[] = "<%CATEGORY%>";

// The string as LoadStringA gives it, before any substitution (UTF-8).
std::string RawString(winsim::Machine& m, UINT id) {
    std::string text(static_cast<size_t>(kMessageTextSize), '\0');
    LoadStringA(m.modules.programInstance, id, &text[0], kMessageTextSize);
    return winsim::acpToUtf8(text.c_str());
}

bool HoldsPlaceholder(const std::string& text) {
    return text.find(kSeriesPlaceholder) != std::string::npos || text.find(kCategoryPlaceholder) != std::string::npos;
}

// The pieces of a template between its placeholders.
std::vector<std::string> LiteralPieces(const std::string& text) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < text.size();) {
        const bool series = text.compare(i, std::strlen(kSeriesPlaceholder), kSeriesPlaceholder) == 0;
        const bool category = text.compare(i, std::strlen(kCategoryPlaceholder), kCategoryPlaceholder) == 0;
        if (series || category) {
            i += std::strlen(series ? kSeriesPlaceholder : kCategoryPlaceholder);
            pieces.emplace_back();
        } else {
            pieces.back() += text[i++];
        }
    }
    return pieces;
}

// Whether every literal piece of `raw` is found in `text`, in order.
bool KeepsTheTemplatesText(const std::string& raw, const std::string& text) {
    size_t at = 0;
    for (const std::string& piece : LiteralPieces(raw)) {
        const size_t found = text.find(piece, at);
        if (found == std::string::npos) return false;
        at = found + piece.size();
    }
    return true;
}

void CheckLoadedString(winsim::Machine& m, UINT id, int size, bool valuesHoldPlaceholders) {
    std::unique_ptr<char[]> buffer(new char[size]);
    std::memset(buffer.get(), 'X', static_cast<size_t>(size));
    LoadResString(id, buffer.get(), size);
    FUZZ_CHECK(IsTerminatedWithin(buffer.get(), static_cast<size_t>(size)), "string %u not terminated in %d bytes", id,
               size);
    FUZZ_CHECK(!EndsInLeadByte(buffer.get()), "string %u in %d bytes ends inside a character", id, size);

    std::unique_ptr<char[]> whole(new char[kMessageTextSize]);
    LoadResString(id, whole.get(), kMessageTextSize);
    const std::string text = winsim::acpToUtf8(whole.get());
    FUZZ_CHECK(valuesHoldPlaceholders || !HoldsPlaceholder(text), "string %u keeps a placeholder: [%s]", id,
               text.c_str());
    FUZZ_CHECK(KeepsTheTemplatesText(RawString(m, id), text), "string %u lost text of its template: [%s]", id,
               text.c_str());
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
    const std::string series = winsim::acpToUtf8(context.szSeries);
    const std::string category = winsim::acpToUtf8(context.szCategory);
    const bool valuesHoldPlaceholders = series.find("<%") != std::string::npos || category.find("<%") != std::string::npos;

    for (UINT id : {IDS_PLACEHOLDER_SERIES, IDS_PLACEHOLDER_CATEGORY, IDS_MSG_NOT_ADMINISTRATOR, IDS_PRODUCT_TITLE})
        CheckLoadedString(m, id, bufferSize, valuesHoldPlaceholders);

    ShowInfoMessage(nullptr, IDS_MSG_NOT_ADMINISTRATOR);
    ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
    FUZZ_CHECK(m.ui.boxes.size() == 2, "%zu message boxes", m.ui.boxes.size());
    // wvsprintfA gives back one '%' for each doubled one, so the category
    // reads as it was written where the template names it.
    const std::string notAdministrator = RawString(m, IDS_MSG_NOT_ADMINISTRATOR);
    const std::string& shown = m.ui.boxes[0].textUtf8;
    FUZZ_CHECK(notAdministrator.find(kCategoryPlaceholder) == std::string::npos ||
                   shown.find(category) != std::string::npos,
               "message 17300 [%s] does not name the category [%s]", shown.c_str(), category.c_str());
    FUZZ_CHECK(valuesHoldPlaceholders || !HoldsPlaceholder(shown), "message 17300 keeps a placeholder: [%s]",
               shown.c_str());
    FUZZ_CHECK(KeepsTheTemplatesText(notAdministrator, shown), "message 17300 lost text of its template: [%s]",
               shown.c_str());
    FUZZ_CHECK(m.ui.boxes[1].textUtf8 == RawString(m, IDS_MSG_INSTALL_FAILED), "message 17100 reads [%s]",
               m.ui.boxes[1].textUtf8.c_str());
    return 0;
}
