#include "fuzz_machine.h"

#include <cstring>

#include "app/placeholders.h"
#include "app/product_settings.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"

extern const winsim::StringResource kProgramStrings[];
extern const size_t kProgramStringsCount;

CodePage CodePageOf(uint8_t selector) { return (selector & 1) ? CodePage::Japanese : CodePage::Western; }

FuzzMachine::FuzzMachine(CodePage codePage) {
    if (codePage == CodePage::Japanese) m.system.setJapanese();
    m.modules.setProgramStrings(kProgramStrings, kProgramStringsCount);
    // The program's process-wide state starts empty for every input, as it
    // does for every run of the program.
    g_placeholders.Clear();
    g_pAppContext = nullptr;
}

FuzzMachine::~FuzzMachine() {
    if (initialised_) ReleaseAppContext();
    g_pAppContext = nullptr;
    g_placeholders.Clear();
    const size_t open = m.handles.openCount();
    if (open != 0) {
        for (const std::string& handle : m.handles.describeOpen()) std::fprintf(stderr, "open: %s\n", handle.c_str());
    }
    FUZZ_CHECK(open == 0, "%zu handles left open", open);
    FUZZ_CHECK(m.handles.localAllocations.empty(), "%zu LocalAlloc blocks not freed", m.handles.localAllocations.size());
}

void FuzzMachine::InitContext() {
    InitAppContext(m.modules.programInstance, &context, IDS_PRODUCT_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
    initialised_ = true;
    LoadProductSettings();
}

std::string FuzzMachine::ProgramFolder() const {
    const std::string& path = m.modules.programPath;
    return path.substr(0, path.rfind('\\') + 1);
}

void FuzzMachine::WriteSettings(const std::string& bytes) {
    // The file's name is ASCII, so its UTF-8 form names it in either code page.
    m.files.writeFile(ProgramFolder() + "210QX_USB.ini", bytes);
}

bool EndsInLeadByte(const char* text) {
    const int length = static_cast<int>(std::strlen(text));
    return length > 0 && GetByteType(text, length - 1) == LeadByte;
}

bool IsTerminatedWithin(const char* buffer, size_t size) { return std::memchr(buffer, '\0', size) != nullptr; }

void CheckSettingsContext(const AppContext& context) {
    FUZZ_CHECK(IsTerminatedWithin(context.szSeries, sizeof(context.szSeries)), "series not terminated");
    FUZZ_CHECK(IsTerminatedWithin(context.szCategory, sizeof(context.szCategory)), "category not terminated");
    FUZZ_CHECK(IsTerminatedWithin(context.szIconPath, sizeof(context.szIconPath)), "icon path not terminated");
    FUZZ_CHECK(context.szSeries[0] != '\0' && context.szCategory[0] != '\0', "a name is empty, not the default");
    FUZZ_CHECK(!EndsInLeadByte(context.szSeries) && !EndsInLeadByte(context.szCategory), "a name ends in a lead byte");
    if (context.szIconPath[0] != '\0') {
        FUZZ_CHECK(std::strncmp(context.szIconPath, context.szModuleDir, std::strlen(context.szModuleDir)) == 0,
                   "icon [%s] outside the program folder", context.szIconPath);
        const DWORD attributes = GetFileAttributesA(context.szIconPath);
        FUZZ_CHECK(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY),
                   "icon [%s] is not a file", context.szIconPath);
    }
}
