#include "app/placeholders.h"

#include <vector>

PlaceholderTable g_placeholders;

void PlaceholderTable::Add(const char* placeholder, const char* value) {
    pairs_.emplace_back(placeholder, value);
}

void AddPlaceholder(const char* placeholder, const char* value) { g_placeholders.Add(placeholder, value); }

namespace {

// Converts a narrow text (without its terminator) to UTF-16; false for an
// empty text or an invalid character sequence, as MultiByteToWideChar fails
// on both.
bool ToWide(const std::string& narrow, UINT codePage, WideString& wide) {
    const int length = static_cast<int>(narrow.size());
    const int needed = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), length, nullptr, 0);
    if (needed <= 0) return false;
    wide.assign(static_cast<size_t>(needed), WCHAR(0));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), length, &wide[0], needed) == needed;
}

bool ToNarrow(const WideString& wide, UINT codePage, std::string& narrow) {
    if (wide.empty()) {
        narrow.clear();
        return true;
    }
    const int length = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return false;
    narrow.assign(static_cast<size_t>(needed), '\0');
    return WideCharToMultiByte(codePage, 0, wide.data(), length, &narrow[0], needed, nullptr, nullptr) == needed;
}

void DoublePercentSigns(WideString& text) {
    const WCHAR percent = '%';
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == percent) text.insert(i++, 1, percent);
    }
}

// Copies `text` into the buffer, cut to size - 1 bytes without splitting a
// double-byte character of the code page, and terminates it.
void CopyCut(const std::string& text, char* buffer, int size, UINT codePage) {
    int n = static_cast<int>(text.size());
    if (n > size - 1) {
        n = 0;
        while (n < size - 1) {
            const int step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[n])) ? 2 : 1;
            if (n + step > size - 1) break;
            n += step;
        }
    }
    for (int i = 0; i < n; ++i) buffer[i] = text[i];
    buffer[n] = '\0';
}

}  // namespace

void ReplaceAll(WideString& text, const WideString& placeholder, const WideString& value) {
    if (placeholder.empty()) return;
    size_t at = text.find(placeholder);
    while (at != WideString::npos) {
        text.replace(at, placeholder.size(), value);
        at = text.find(placeholder, at + value.size());
    }
}

bool SubstitutePlaceholders(char* buffer, int size, bool forFormatTemplate) {
    if (size <= 0) return false;
    const UINT codePage = g_placeholders.CodePage();
    WideString text;
    if (!ToWide(std::string(buffer), codePage, text)) return false;
    for (const auto& pair : g_placeholders.Pairs()) {
        WideString placeholder, value;
        if (!ToWide(pair.first, codePage, placeholder) || !ToWide(pair.second, codePage, value)) return false;
        if (forFormatTemplate) DoublePercentSigns(value);
        ReplaceAll(text, placeholder, value);
    }
    std::string result;
    if (!ToNarrow(text, codePage, result)) return false;
    CopyCut(result, buffer, size, codePage);
    return true;
}
