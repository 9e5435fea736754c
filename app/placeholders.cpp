#include "app/placeholders.h"

#include "sysaccess/local_buffer.h"

PlaceholderTable g_placeholders;

namespace {

bool CopyWhole(char* dest, const char* source, int size) {
    const int length = lstrlenA(source);
    if (length >= size) return false;
    for (int i = 0; i <= length; ++i) dest[i] = source[i];
    return true;
}

// A narrow text converted to UTF-16, in a buffer of its own.
class WideText {
public:
    // Converts `text`; with `doublePercents` every '%' is doubled. ok() is
    // false for an empty text or an invalid character sequence, as
    // MultiByteToWideChar fails on both, and when memory ran out.
    WideText(const char* text, UINT codePage, bool doublePercents = false)
        : length_(0), buffer_(Capacity(text, codePage, doublePercents)) {
        if (!buffer_.get()) return;
        const int converted = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, lstrlenA(text),
                                                  buffer_.get(), static_cast<int>(buffer_.size()));
        if (converted <= 0) return;
        length_ = converted;
        if (doublePercents) DoublePercentSigns();
    }
    bool ok() const { return length_ > 0; }
    const WCHAR* data() const { return buffer_.get(); }
    int length() const { return length_; }

    // Replaces every occurrence of `placeholder` by `value`, leftmost first,
    // going on after each inserted value. False when memory ran out (the
    // text is then unchanged).
    bool ReplaceAll(const WideText& placeholder, const WideText& value) {
        const int count = Occurrences(placeholder);
        if (count == 0) return true;
        const int newLength = length_ + count * (value.length() - placeholder.length());
        LocalBuffer<WCHAR> result(static_cast<size_t>(newLength) + 1);
        if (!result.get()) return false;
        WCHAR* out = result.get();
        for (int i = 0; i < length_;) {
            if (MatchesAt(i, placeholder)) {
                for (int k = 0; k < value.length(); ++k) *out++ = value.data()[k];
                i += placeholder.length();
            } else {
                *out++ = buffer_.get()[i++];
            }
        }
        buffer_.swap(result);
        length_ = newLength;
        return true;
    }

private:
    static size_t Capacity(const char* text, UINT codePage, bool doublePercents) {
        const int needed = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, lstrlenA(text), nullptr, 0);
        if (needed <= 0) return 0;
        // Room for the terminator and, when percent signs are doubled, for
        // a text of nothing else.
        return (static_cast<size_t>(needed) + 1) * (doublePercents ? 2 : 1);
    }

    bool MatchesAt(int at, const WideText& placeholder) const {
        if (at + placeholder.length() > length_) return false;
        for (int k = 0; k < placeholder.length(); ++k)
            if (buffer_.get()[at + k] != placeholder.data()[k]) return false;
        return true;
    }

    // Non-overlapping occurrences, leftmost first: each is replaced whole
    // and the search resumes after it.
    int Occurrences(const WideText& placeholder) const {
        int count = 0;
        for (int i = 0; i < length_;) {
            if (MatchesAt(i, placeholder)) {
                ++count;
                i += placeholder.length();
            } else {
                ++i;
            }
        }
        return count;
    }

    void DoublePercentSigns() {
        WCHAR* text = buffer_.get();
        int percents = 0;
        for (int i = 0; i < length_; ++i)
            if (text[i] == '%') ++percents;
        // From the end, so that every character moves once.
        for (int from = length_ - 1, to = length_ + percents - 1; from >= 0; --from) {
            text[to--] = text[from];
            if (text[from] == '%') text[to--] = '%';
        }
        length_ += percents;
    }

    int length_;
    LocalBuffer<WCHAR> buffer_;
};

// Converts the text to the code page and copies it into the buffer, cut to
// size - 1 bytes without splitting a double-byte character, terminated.
bool CopyNarrowCut(const WideText& text, char* buffer, int size, UINT codePage) {
    const int needed = WideCharToMultiByte(codePage, 0, text.data(), text.length(), nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return false;
    LocalBuffer<char> narrow(static_cast<size_t>(needed));
    if (!narrow.get()) return false;
    if (WideCharToMultiByte(codePage, 0, text.data(), text.length(), narrow.get(), needed, nullptr, nullptr) != needed)
        return false;
    int n = needed;
    if (n > size - 1) {
        n = 0;
        while (n < size - 1) {
            const int step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(narrow.get()[n])) ? 2 : 1;
            if (n + step > size - 1) break;
            n += step;
        }
    }
    for (int i = 0; i < n; ++i) buffer[i] = narrow.get()[i];
    buffer[n] = '\0';
    return true;
}

}  // namespace

bool PlaceholderTable::Add(const char* placeholder, const char* value) {
    if (count_ == kCapacity) return false;
    Pair& pair = pairs_[count_];
    if (!CopyWhole(pair.placeholder, placeholder, kTextSize) || !CopyWhole(pair.value, value, kTextSize))
        return false;
    ++count_;
    return true;
}

void AddPlaceholder(const char* placeholder, const char* value) { g_placeholders.Add(placeholder, value); }

bool SubstitutePlaceholders(char* buffer, int size, bool forFormatTemplate) {
    if (size <= 0) return false;
    const UINT codePage = g_placeholders.CodePage();
    WideText text(buffer, codePage);
    if (!text.ok()) return false;
    for (int i = 0; i < g_placeholders.Count(); ++i) {
        const WideText placeholder(g_placeholders.Placeholder(i), codePage);
        const WideText value(g_placeholders.Value(i), codePage, forFormatTemplate);
        if (!placeholder.ok() || !value.ok()) return false;
        if (!text.ReplaceAll(placeholder, value)) return false;
    }
    return CopyNarrowCut(text, buffer, size, codePage);
}
