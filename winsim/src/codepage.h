// Text conversions between the machine's ANSI code page, UTF-16 and UTF-8,
// through the C library's iconv. Shared by every area of winsim that takes
// or gives ANSI text.
//
// The code pages modelled are 1252, 932 and UTF-8. The byte <-> UTF-16
// mappings are iconv's CP1252 and CP932 tables, which agree with Windows'
// tables except for a few single bytes that Windows maps and iconv leaves
// undefined; those are listed in codepage.cpp. Windows' "best fit"
// replacements (for example U+00A5 to 0x5C in code page 932) are not
// modelled: a character without an exact mapping becomes the default
// character, as WideCharToMultiByte does with WC_NO_BEST_FIT_CHARS.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace winsim {

// iconv's name for a Windows code page ("CP1252", "CP932", "UTF-8"), or
// null for a code page that winsim does not model.
const char* iconvName(UINT codePage);

// Converts `in` from one encoding to another. Returns nothing when the input
// holds a sequence that is invalid in the source encoding or that has no
// mapping in the target encoding.
std::optional<std::string> convert(const std::string& in, const char* from, const char* to);

// Bytes of a code page decoded the way MultiByteToWideChar decodes them
// without MB_ERR_INVALID_CHARS: an invalid sequence becomes the code page's
// default Unicode character (U+30FB in 932, U+FFFD in UTF-8) and the rest is
// kept. `invalid` tells whether MB_ERR_INVALID_CHARS would have refused the
// input.
struct DecodedText {
    std::u16string text;
    bool invalid = false;
};
DecodedText decode(const char* bytes, size_t size, UINT codePage);

// UTF-16 encoded the way WideCharToMultiByte encodes it: a character without
// a mapping becomes `defaultChar` (one or two bytes) and sets *usedDefault.
// For UTF-8, an unpaired surrogate becomes U+FFFD and sets *invalid.
std::string encode(const char16_t* units, size_t count, UINT codePage, const std::string& defaultChar,
                   bool* usedDefault = nullptr, bool* invalid = nullptr);

// Strict conversion to UTF-16: nothing when the input is invalid.
std::optional<std::u16string> toUtf16(const std::string& in, UINT codePage);
// Conversion from UTF-16 with '?' for characters without a mapping.
std::string fromUtf16(const std::u16string& in, UINT codePage, bool* usedDefault = nullptr);

// ANSI text of the current machine <-> UTF-8 (seeding APIs take UTF-8).
std::string acpToUtf8(const std::string& ansi);
std::string utf8ToAcp(const std::string& utf8);

// Whether the byte starts a double-byte character in the code page
// (always false on single-byte code pages).
bool isLeadByte(UINT codePage, unsigned char byte);

// The longest prefix of `bytes` (text in `codePage`) that is at most `limit`
// bytes long and does not end in the middle of a double-byte character.
size_t wholeCharacterPrefix(const std::string& bytes, size_t limit, UINT codePage);

// Simple Unicode case mapping of one UTF-16 unit, as Windows' case tables
// do it (surrogates and characters without a mapping stay as they are).
char16_t upperCase(char16_t unit);
char16_t lowerCase(char16_t unit);

}  // namespace winsim
