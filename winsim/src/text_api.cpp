// KERNEL32 text calls: the ANSI code page, lead bytes, MultiByteToWideChar
// and WideCharToMultiByte, and the lstr* string functions.
#include <cstring>
#include <string>

#include <windows.h>

#include "codepage.h"
#include "string_compare.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

// Flags of MultiByteToWideChar and WideCharToMultiByte that the product's
// header does not declare.
constexpr DWORD kMbComposite = 0x00000002;
constexpr DWORD kMbUseGlyphChars = 0x00000004;
constexpr DWORD kWcNoBestFitChars = 0x00000400;
constexpr DWORD kWcErrInvalidChars = 0x00000080;

// The code page a conversion call names, with CP_ACP resolved; 0 when it is
// one that winsim does not model (the call then reports notImplemented).
UINT resolveCodePage(UINT codePage, const char* api) {
    Machine& m = winsim::current();
    if (codePage == CP_ACP) return m.system.acp;
    if (codePage == 932 || codePage == 1252 || codePage == CP_UTF8) return codePage;
    winsim::notImplemented(std::string(api) + " with code page " + std::to_string(codePage));
    return 0;
}

int failWith(DWORD error) {
    winsim::current().lastError = error;
    return 0;
}

}  // namespace

UINT WINAPI GetACP(void) { return winsim::current().system.acp; }

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
    return winsim::isLeadByte(winsim::current().system.acp, TestChar) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
    Machine& m = winsim::current();
    if (CodePage == CP_ACP) CodePage = m.system.acp;
    if (CodePage != 932 && CodePage != 1252) {
        winsim::notImplemented("IsDBCSLeadByteEx with code page " + std::to_string(CodePage));
        return FALSE;
    }
    return winsim::isLeadByte(CodePage, TestChar) ? TRUE : FALSE;
}

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
    // At the terminator CharNextA stays put; a lead byte followed by the
    // terminator is a character of its own.
    if (*lpsz == '\0') return const_cast<LPSTR>(lpsz);
    if (IsDBCSLeadByte(static_cast<BYTE>(lpsz[0])) && lpsz[1] != '\0') return const_cast<LPSTR>(lpsz + 2);
    return const_cast<LPSTR>(lpsz + 1);
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("MultiByteToWideChar")) return failWith(e);
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (!lpWideCharStr && cchWideChar) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))
        return failWith(ERROR_INVALID_PARAMETER);
    const UINT codePage = resolveCodePage(CodePage, "MultiByteToWideChar");
    if (!codePage) return 0;
    if (codePage == CP_UTF8) {
        // UTF-8 takes no flag but MB_ERR_INVALID_CHARS.
        if (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) return failWith(ERROR_INVALID_FLAGS);
    } else {
        if (dwFlags & (kMbComposite | kMbUseGlyphChars)) {
            winsim::notImplemented("MultiByteToWideChar with MB_COMPOSITE or MB_USEGLYPHCHARS");
            return 0;
        }
        if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) return failWith(ERROR_INVALID_FLAGS);
    }
    // -1 converts the string with its terminator, so the count includes it.
    const size_t size = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    winsim::DecodedText d = winsim::decode(lpMultiByteStr, size, codePage);
    if (d.invalid && (dwFlags & MB_ERR_INVALID_CHARS)) return failWith(ERROR_NO_UNICODE_TRANSLATION);
    const int needed = static_cast<int>(d.text.size());
    if (cchWideChar == 0) return needed;
    if (needed > cchWideChar) {
        // Windows fills the buffer as far as it goes before it reports the
        // shortage.
        d.text.copy(reinterpret_cast<char16_t*>(lpWideCharStr), static_cast<size_t>(cchWideChar));
        return failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    d.text.copy(reinterpret_cast<char16_t*>(lpWideCharStr), d.text.size());
    return needed;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("WideCharToMultiByte")) return failWith(e);
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (!lpMultiByteStr && cbMultiByte) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))
        return failWith(ERROR_INVALID_PARAMETER);
    const UINT codePage = resolveCodePage(CodePage, "WideCharToMultiByte");
    if (!codePage) return 0;
    if (codePage == CP_UTF8) {
        // UTF-8 has no default character: both pointers must be null.
        if (dwFlags & ~kWcErrInvalidChars) return failWith(ERROR_INVALID_FLAGS);
        if (lpDefaultChar || lpUsedDefaultChar) return failWith(ERROR_INVALID_PARAMETER);
    } else {
        if (dwFlags & kWcErrInvalidChars) return failWith(ERROR_INVALID_FLAGS);
        if (dwFlags & ~kWcNoBestFitChars) {
            winsim::notImplemented("WideCharToMultiByte with flags " + std::to_string(dwFlags));
            return 0;
        }
    }
    size_t count = 0;
    if (cchWideChar < 0) {
        while (lpWideCharStr[count] != 0) ++count;
        ++count;  // the terminator is converted too
    } else {
        count = static_cast<size_t>(cchWideChar);
    }
    // A default character of two non-zero bytes is a double-byte one.
    std::string defaultChar = "?";
    if (lpDefaultChar) defaultChar = (lpDefaultChar[0] && lpDefaultChar[1]) ? std::string(lpDefaultChar, 2)
                                                                           : std::string(1, lpDefaultChar[0]);
    bool usedDefault = false, invalid = false;
    const std::string bytes = winsim::encode(reinterpret_cast<const char16_t*>(lpWideCharStr), count, codePage,
                                             defaultChar, &usedDefault, &invalid);
    if (invalid && (dwFlags & kWcErrInvalidChars)) return failWith(ERROR_NO_UNICODE_TRANSLATION);
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    const int needed = static_cast<int>(bytes.size());
    if (cbMultiByte == 0) return needed;
    if (needed > cbMultiByte) {
        // The buffer is filled with whole characters only.
        const size_t fit = winsim::wholeCharacterPrefix(bytes, static_cast<size_t>(cbMultiByte), codePage);
        bytes.copy(lpMultiByteStr, fit);
        return failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    bytes.copy(lpMultiByteStr, bytes.size());
    return needed;
}

int WINAPI lstrlenA(LPCSTR lpString) {
    // lstrlenA of a null pointer is 0.
    return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
    if (!lpString1 || !lpString2) {
        winsim::notImplemented("lstrcpyA with a null pointer");
        return nullptr;
    }
    std::memmove(lpString1, lpString2, std::strlen(lpString2) + 1);
    return lpString1;
}

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
    if (!lpString1 || !lpString2 || iMaxLength < 0) {
        winsim::notImplemented("lstrcpynA with a null pointer or a negative length");
        return nullptr;
    }
    // Copies at most iMaxLength - 1 bytes and always terminates, unless
    // iMaxLength is 0, when nothing is written. The cut is by bytes: a
    // double-byte character can be split.
    if (iMaxLength == 0) return lpString1;
    size_t n = 0;
    while (n + 1 < static_cast<size_t>(iMaxLength) && lpString2[n] != '\0') {
        lpString1[n] = lpString2[n];
        ++n;
    }
    lpString1[n] = '\0';
    return lpString1;
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
    if (!lpString1 || !lpString2) {
        winsim::notImplemented("lstrcatA with a null pointer");
        return nullptr;
    }
    const size_t length = std::strlen(lpString1);
    std::memmove(lpString1 + length, lpString2, std::strlen(lpString2) + 1);
    return lpString1;
}

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    // Null pointers sort before every string and equal each other.
    if (!lpString1 || !lpString2) return lpString1 ? 1 : (lpString2 ? -1 : 0);
    return winsim::compareAnsiWordSort(lpString1, lpString2, false);
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    if (!lpString1 || !lpString2) return lpString1 ? 1 : (lpString2 ? -1 : 0);
    return winsim::compareAnsiWordSort(lpString1, lpString2, true);
}
