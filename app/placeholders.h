// Placeholders such as "<%SERIES%>" that the product settings define and
// that every string loaded afterwards has replaced.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

typedef std::basic_string<WCHAR> WideString;

class PlaceholderTable {
public:
    // Appends a pair; pairs are applied in the order they were added.
    void Add(const char* placeholder, const char* value);
    const std::vector<std::pair<std::string, std::string>>& Pairs() const { return pairs_; }
    // Code page used to convert between the narrow texts and UTF-16.
    UINT CodePage() const { return CP_ACP; }
    // Forgets every pair. The program never needs it (the table lives until
    // the process ends); tests that run the program twice do.
    void Clear() { pairs_.clear(); }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

extern PlaceholderTable g_placeholders;

void AddPlaceholder(const char* placeholder, const char* value);

// Replaces every registered placeholder in the buffer's text. Returns true
// when the buffer was rewritten; false leaves it as it was (the text or a
// pair could not be converted in the ANSI code page).
//
// With `forFormatTemplate` the inserted values have each '%' doubled, so
// that a value such as "100%s" reaches a formatted message as literal text
// instead of being read by the formatter as a format field.
bool SubstitutePlaceholders(char* buffer, int size, bool forFormatTemplate = false);

// Replaces every occurrence of `placeholder` in `text` by `value`, leftmost
// first. The search goes on after each inserted value, so a value that
// contains its own placeholder is inserted once and does not loop.
void ReplaceAll(WideString& text, const WideString& placeholder, const WideString& value);
