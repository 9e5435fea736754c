// KERNEL32 LCIDToLocaleName (Windows Vista and later).
#include <windows.h>

#include <cstring>

#include "winsim/machine.h"

using winsim::Machine;

namespace {

constexpr DWORD kAllowNeutralNames = 0x08000000;  // LOCALE_ALLOW_NEUTRAL_NAMES (Windows 7 and later)

struct LocaleName {
    LCID lcid;
    const char* name;
};

// Specific locales of Windows, by LCID, with the names Windows gives them.
const LocaleName kLocales[] = {
    {0x0401, "ar-SA"}, {0x0402, "bg-BG"}, {0x0403, "ca-ES"}, {0x0404, "zh-TW"}, {0x0405, "cs-CZ"},
    {0x0406, "da-DK"}, {0x0407, "de-DE"}, {0x0408, "el-GR"}, {0x0409, "en-US"}, {0x040A, "es-ES_tradnl"},
    {0x040B, "fi-FI"}, {0x040C, "fr-FR"}, {0x040D, "he-IL"}, {0x040E, "hu-HU"}, {0x0410, "it-IT"},
    {0x0411, "ja-JP"}, {0x0412, "ko-KR"}, {0x0413, "nl-NL"}, {0x0414, "nb-NO"}, {0x0415, "pl-PL"},
    {0x0416, "pt-BR"}, {0x0418, "ro-RO"}, {0x0419, "ru-RU"}, {0x041D, "sv-SE"}, {0x041E, "th-TH"},
    {0x041F, "tr-TR"}, {0x0422, "uk-UA"}, {0x0804, "zh-CN"}, {0x0807, "de-CH"}, {0x0809, "en-GB"},
    {0x0816, "pt-PT"}, {0x0C04, "zh-HK"}, {0x0C07, "de-AT"}, {0x0C09, "en-AU"}, {0x0C0A, "es-ES"},
    {0x0C0C, "fr-CA"}, {0x1004, "zh-SG"}, {0x1009, "en-CA"},
};

const char* nameOf(LCID lcid) {
    for (const LocaleName& locale : kLocales)
        if (locale.lcid == lcid) return locale.name;
    return nullptr;
}

// An LCID that no Windows defines: reserved bits set, or a primary
// language in the range that MAKELANGID leaves to users (0x200 to 0x3FF),
// which Windows does not map to any locale.
bool neverALocale(LCID lcid) {
    const WORD primary = lcid & 0x3FF;
    return (lcid & 0xFFF00000u) != 0 || primary >= 0x200;
}

int fail(Machine& m, DWORD error) {
    m.lastError = error;
    return 0;
}

}  // namespace

int WINAPI LCIDToLocaleName(LCID Locale, LPWSTR lpName, int cchName, DWORD dwFlags) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("LCIDToLocaleName")) return fail(m, e);
    if (dwFlags & ~kAllowNeutralNames) {
        winsim::notImplemented("LCIDToLocaleName with flags " + std::to_string(dwFlags));
        return 0;
    }
    if (cchName < 0 || (!lpName && cchName > 0)) {
        winsim::notImplemented("LCIDToLocaleName with a negative size or no buffer");
        return 0;
    }
    const char* name = nameOf(Locale);
    if (!name) {
        if (neverALocale(Locale)) return fail(m, ERROR_INVALID_PARAMETER);
        // The defaults (LOCALE_USER_DEFAULT...), neutral and custom locales,
        // alternative sorts and locales outside the table above.
        winsim::notImplemented("LCIDToLocaleName of the LCID " + std::to_string(Locale));
        return 0;
    }
    // The count includes the terminator; a size of 0 asks for it.
    const int count = static_cast<int>(std::strlen(name)) + 1;
    if (cchName == 0) return count;
    if (cchName < count) return fail(m, ERROR_INSUFFICIENT_BUFFER);
    for (int i = 0; i < count; ++i) lpName[i] = static_cast<WCHAR>(static_cast<unsigned char>(name[i]));
    return count;
}
