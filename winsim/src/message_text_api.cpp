// KERNEL32 FormatMessageA for system messages: the text of an error code
// from the system message table, in the user's language and the ANSI code
// page, into the caller's buffer or into a block from LocalAlloc.
#include <cstring>
#include <string>

#include <windows.h>

#include "codepage.h"
#include "local_memory.h"
#include "system_messages.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

constexpr DWORD kErrorResourceLangNotFound = 1815;
constexpr WORD kLangEnglishUs = 0x0409;
constexpr WORD kLangJapanese = 0x0411;

DWORD fail(Machine& m, DWORD error) {
    m.lastError = error;
    return 0;
}

// Whether Windows may have a message for a code that winsim's table lacks:
// plain Win32 codes, COM's own and the Win32 HRESULTs, and the Setup API
// HRESULTs in the ranges that winerror.h defines. Other codes, and Setup
// API errors in their 0xE000xxxx form in particular, have no text.
bool windowsHasText(DWORD code) {
    const DWORD facility = code & 0xFFFF0000;
    if (code <= 0xFFFF || facility == 0x80000000 || facility == 0x80070000) return true;
    if (facility != 0x800F0000) return false;
    const DWORD n = code & 0xFFFF;
    return n <= 0x0003 || (n >= 0x0100 && n <= 0x0102) || (n >= 0x0200 && n <= 0x024F) || n == 0x0300 ||
           n == 0x1000;
}

}  // namespace

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    (void)lpSource;
    (void)Arguments;  // ignored with FORMAT_MESSAGE_IGNORE_INSERTS
    Machine& m = winsim::current();
    const bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer points at the caller's
    // pointer, which holds null whenever the call fails.
    LPSTR* allocated = reinterpret_cast<LPSTR*>(lpBuffer);
    if (allocate && allocated) *allocated = nullptr;
    if (DWORD e = m.faults.check("FormatMessageA")) return fail(m, e);

    if ((dwFlags & ~static_cast<DWORD>(FORMAT_MESSAGE_ALLOCATE_BUFFER)) !=
        (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS)) {
        winsim::notImplemented("FormatMessageA with flags " + std::to_string(dwFlags));
        return 0;
    }
    if (!lpBuffer) return fail(m, ERROR_INVALID_PARAMETER);

    // Language 0 and LANG_NEUTRAL with a default sublanguage (0x0400,
    // 0x0800) take the user's language. The machine has the messages of its
    // user's language installed; a request for another language fails as on
    // a Windows without that language pack.
    const WORD userLanguage = static_cast<WORD>(m.system.userDefaultLcid & 0xFFFF);
    WORD language = static_cast<WORD>(dwLanguageId);
    if ((language & 0x3FF) == 0) language = userLanguage;
    if (userLanguage != kLangEnglishUs && userLanguage != kLangJapanese) {
        winsim::notImplemented("FormatMessageA with system messages in language " + std::to_string(userLanguage));
        return 0;
    }
    if (language != userLanguage) {
        if (language == kLangEnglishUs || language == kLangJapanese) {
            winsim::notImplemented("FormatMessageA in a language other than the user's");
            return 0;
        }
        return fail(m, kErrorResourceLangNotFound);
    }

    const winsim::SystemMessage* message = winsim::findSystemMessage(dwMessageId);
    if (!message) {
        if (windowsHasText(dwMessageId)) {
            winsim::notImplemented("FormatMessageA text of system message " + std::to_string(dwMessageId));
            return 0;
        }
        return fail(m, ERROR_MR_MID_NOT_FOUND);
    }
    const char* utf8 = language == kLangJapanese ? message->japanese : message->english;
    const std::string text = winsim::fromUtf16(winsim::toUtf16(utf8, CP_UTF8).value_or(std::u16string()), m.system.acp);
    const DWORD length = static_cast<DWORD>(text.size());

    if (allocate) {
        // nSize is the least size to allocate.
        const size_t size = nSize > length + 1 ? nSize : length + 1;
        auto* block = static_cast<char*>(winsim::localAllocate(m, size, true));
        if (!block) return fail(m, ERROR_NOT_ENOUGH_MEMORY);
        std::memcpy(block, text.c_str(), length + 1);
        *allocated = block;
        return length;
    }
    if (nSize < length + 1) return fail(m, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpBuffer, text.c_str(), length + 1);
    return length;
}
