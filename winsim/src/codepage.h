// Text conversions between the machine's ANSI code page, UTF-16 and UTF-8,
// through the C library's iconv. Shared by every area of winsim that takes
// or gives ANSI text.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace winsim {

// iconv's name for a Windows code page ("CP1252", "CP932", "UTF-8").
const char* iconvName(UINT codePage);

// Converts `in` from one encoding to another. Returns nothing when the input
// holds a sequence that is invalid in the source encoding or that has no
// mapping in the target encoding.
std::optional<std::string> convert(const std::string& in, const char* from, const char* to);

// UTF-16 (host byte order) <-> the given code page. `strict` fails on
// characters the target cannot represent; otherwise they become '?' the
// way Windows' best-fit-free conversion does.
std::optional<std::u16string> toUtf16(const std::string& in, UINT codePage);
std::string fromUtf16(const std::u16string& in, UINT codePage, bool* usedDefault = nullptr);

// ANSI text of the current machine <-> UTF-8 (seeding APIs take UTF-8).
std::string acpToUtf8(const std::string& ansi);
std::string utf8ToAcp(const std::string& utf8);

// Whether the byte starts a double-byte character in the code page
// (always false on single-byte code pages).
bool isLeadByte(UINT codePage, unsigned char byte);

}  // namespace winsim
