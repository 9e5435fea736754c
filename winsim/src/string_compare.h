// String comparison as lstrcmpA and lstrcmpiA do it: CompareString with the
// user's locale and Windows' default "word sort".
#pragma once

#include <string>

namespace winsim {

// Compares two UTF-16 strings and returns -1, 0 or 1.
//
// The levels are Windows': first the characters' primary weights (symbols
// before digits before letters, letters alphabetically whatever their case,
// a full-width form equal to its ASCII form, and the hyphen and apostrophe
// ignored); then case and width (lower case before upper case, half width
// before full width); then the hyphens and apostrophes, so that "coop"
// sorts before "co-op". Two strings compare equal only when they are
// identical (or, ignoring case, identical after upper-casing).
//
// Approximate: ASCII symbols, digits and letters and their full-width forms
// are ordered as Windows orders them; every other character sorts after the
// ASCII letters by its upper-cased code unit (Windows sorts an accented
// letter with its base letter and half-width katakana with full-width
// katakana; winsim does not).
int compareWordSort(const std::u16string& a, const std::u16string& b, bool ignoreCase);

// The same for two ANSI strings of the current machine's code page.
int compareAnsiWordSort(const char* a, const char* b, bool ignoreCase);

}  // namespace winsim
