// Placeholders such as "<%SERIES%>" that the product settings define and
// that every string loaded afterwards has replaced.
#pragma once

#include <windows.h>

class PlaceholderTable {
public:
    // The settings register two placeholders; room is left for more.
    static constexpr int kCapacity = 4;
    // Longest placeholder or value kept, terminator included.
    static constexpr int kTextSize = MAX_PATH + 1;

    PlaceholderTable() : count_(0) {}

    // Appends a pair; pairs are applied in the order they were added. A pair
    // that does not fit (table full, or a text longer than kTextSize - 1
    // bytes) is not added and the call returns false.
    bool Add(const char* placeholder, const char* value);
    int Count() const { return count_; }
    const char* Placeholder(int index) const { return pairs_[index].placeholder; }
    const char* Value(int index) const { return pairs_[index].value; }
    // Code page used to convert between the narrow texts and UTF-16.
    UINT CodePage() const { return CP_ACP; }
    // Forgets every pair. The program never needs it (the table lives until
    // the process ends); tests that run the program twice do.
    void Clear() { count_ = 0; }

private:
    struct Pair {
        char placeholder[kTextSize];
        char value[kTextSize];
    };
    Pair pairs_[kCapacity];
    int count_;
};

extern PlaceholderTable g_placeholders;

void AddPlaceholder(const char* placeholder, const char* value);

// Replaces every registered placeholder in the buffer's text, leftmost
// first; the search goes on after each inserted value, so a value that
// contains its own placeholder is inserted once and does not loop. The
// result is cut to the buffer without splitting a double-byte character.
// Returns true when the buffer was rewritten; false leaves it as it was
// (the text or a pair could not be converted in the ANSI code page, or no
// memory for the work).
//
// With `forFormatTemplate` the inserted values have each '%' doubled, so
// that a value such as "100%s" reaches a formatted message as literal text
// instead of being read by the formatter as a format field.
bool SubstitutePlaceholders(char* buffer, int size, bool forFormatTemplate = false);
