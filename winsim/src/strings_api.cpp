// USER32 LoadStringA over the program's string table.
//
// Windows keeps a string table as blocks of 16 strings (IDs 16n to 16n+15
// form resource n+1), each block in one or more languages. LoadStringA
// finds the block with FindResource, which picks a language for the whole
// block: the neutral language first, then the user's UI language (with its
// neutral sublanguage next), then US English, then whichever language the
// module has first. A string that the chosen block lacks is not looked for
// in another language.
#include <string>
#include <vector>

#include <windows.h>

#include "codepage.h"
#include "winsim/machine.h"

using winsim::Machine;
using winsim::StringResource;

namespace winsim {

void Modules::setProgramStrings(const StringResource* rows, size_t count) {
    programStrings.assign(rows, rows + count);
}

}  // namespace winsim

namespace {

constexpr WORD kLangNeutral = 0x0000;
constexpr WORD kLangEnglishUs = 0x0409;

bool blockHasLanguage(const std::vector<StringResource>& table, UINT block, WORD language) {
    for (const StringResource& row : table)
        if ((row.id >> 4) == block && row.language == language) return true;
    return false;
}

// The language FindResource picks for the block, or false when the module
// has no such block in any language.
bool chooseLanguage(const std::vector<StringResource>& table, UINT block, WORD userLanguage, WORD* chosen) {
    const WORD order[] = {kLangNeutral, userLanguage, static_cast<WORD>(userLanguage & 0x3FF), kLangEnglishUs};
    for (WORD language : order) {
        if (blockHasLanguage(table, block, language)) {
            *chosen = language;
            return true;
        }
    }
    // Otherwise the first language in the resource directory, which lists
    // languages by increasing ID.
    bool found = false;
    for (const StringResource& row : table) {
        if ((row.id >> 4) != block) continue;
        if (!found || row.language < *chosen) *chosen = row.language;
        found = true;
    }
    return found;
}

}  // namespace

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("LoadStringA")) {
        if (lpBuffer && cchBufferMax > 0) lpBuffer[0] = '\0';
        m.lastError = e;
        return 0;
    }
    if (cchBufferMax <= 0) {
        // A size of 0 asks LoadStringW for a pointer to the resource itself;
        // LoadStringA does not support it (Microsoft warns that it corrupts
        // memory).
        winsim::notImplemented("LoadStringA with a buffer size of " + std::to_string(cchBufferMax));
        return 0;
    }
    if (hInstance && hInstance != m.modules.programInstance) {
        winsim::notImplemented("LoadStringA from a module other than the program");
        return 0;
    }
    lpBuffer[0] = '\0';
    const std::vector<StringResource>& table = m.modules.programStrings;
    if (table.empty()) {
        m.lastError = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return 0;
    }
    // Only the low word of the ID counts.
    const UINT id = uID & 0xFFFF;
    WORD language = 0;
    if (!chooseLanguage(table, id >> 4, static_cast<WORD>(m.system.userDefaultLcid & 0xFFFF), &language)) {
        m.lastError = ERROR_RESOURCE_NAME_NOT_FOUND;
        return 0;
    }
    const char* text = nullptr;
    for (const StringResource& row : table)
        if (row.id == id && row.language == language) text = row.text;
    // An ID that the block does not define, like an empty string, has
    // length 0: LoadStringA returns 0 and leaves the last error alone.
    if (!text || !*text || cchBufferMax == 1) return 0;

    // The table holds UTF-16; the text arrives in the ANSI code page, with
    // '?' for characters the code page lacks, cut to the buffer without
    // splitting a double-byte character.
    const std::u16string wide = winsim::toUtf16(text, CP_UTF8).value_or(std::u16string());
    const std::string ansi = winsim::fromUtf16(wide, m.system.acp);
    const size_t n = winsim::wholeCharacterPrefix(ansi, static_cast<size_t>(cchBufferMax - 1), m.system.acp);
    ansi.copy(lpBuffer, n);
    lpBuffer[n] = '\0';
    return static_cast<int>(n);
}
