// Name rules of the simulated NTFS volume: the upper-case mapping names are
// compared with, and FindFirstFileA's wildcard matching.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <locale.h>

#include "files_internal.h"
#include "winsim/file_system.h"

namespace winsim {
namespace {

// NTFS compares names through its upcase table, a simple (one code unit to
// one code unit) upper-case mapping of UTF-16. The C library's Unicode
// locale has the same kind of mapping; the "C" locale only knows ASCII, so
// the mapping is taken from C.UTF-8 whatever the process locale is.
locale_t unicodeLocale() {
    static locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (locale_t l = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0))) return l;
        }
        std::fprintf(stderr, "winsim: no UTF-8 locale for the NTFS upper-case mapping\n");
        std::abort();
    }();
    return locale;
}

char16_t upperUnit(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    // Surrogates stay as they are: the upcase table maps code units, and
    // characters outside the BMP have no entry of their own.
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    wint_t upper = towupper_l(static_cast<wint_t>(c), unicodeLocale());
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}

// FindFirstFileA hands the pattern to the file system after rewriting it
// into DOS wildcards: "*.*" becomes "*"; '?' becomes DOS_QM ('>'); a '.'
// before '?' or '*' becomes DOS_DOT ('"'); a '*' before a '.' becomes
// DOS_STAR ('<'); and when the pattern ended in a dot (which the path rules
// removed) a final '*' becomes DOS_STAR.
std::u16string dosPattern(std::u16string p, bool hadTrailingDot) {
    if (p == u"*.*") return u"*";
    for (size_t i = 0; i < p.size(); ++i) {
        if (i > 0 && p[i] == u'.' && p[i - 1] == u'*') p[i - 1] = u'<';
        if (p[i] == u'?') {
            p[i] = u'>';
            if (i > 0 && p[i - 1] == u'.') p[i - 1] = u'"';
        } else if (p[i] == u'*') {
            if (i > 0 && p[i - 1] == u'.') p[i - 1] = u'"';
        }
    }
    if (hadTrailingDot && !p.empty() && p.back() == u'*') p.back() = u'<';
    return p;
}

// FsRtlIsNameInExpression's rules over upper-cased names: '*' any run;
// '<' (DOS_STAR) any run that does not take the name's last dot; '>'
// (DOS_QM) one character, or nothing at a dot or at the end; '"' (DOS_DOT)
// a dot, or nothing at the end. So "*." ("<") matches the names without a
// dot, and "*.*.*" every name.
class DosMatcher {
public:
    DosMatcher(const std::u16string& name, const std::u16string& pattern)
        : name_(name), pattern_(pattern), lastDot_(name.rfind(u'.')),
          memo_((pattern.size() + 1) * (name.size() + 1), -1) {}

    bool match(size_t p, size_t n) {
        signed char& seen = memo_[p * (name_.size() + 1) + n];
        if (seen < 0) seen = compute(p, n) ? 1 : 0;
        return seen == 1;
    }

private:
    bool compute(size_t p, size_t n) {
        const size_t end = name_.size();
        if (p == pattern_.size()) return n == end;
        switch (pattern_[p]) {
        case u'*':
            return match(p + 1, n) || (n < end && match(p, n + 1));
        case u'<':
            if (match(p + 1, n)) return true;
            if (n == end || n == lastDot_) return false;
            return match(p, n + 1);
        case u'>':
            if (n == end || name_[n] == u'.') return match(p + 1, n);
            return match(p + 1, n + 1);
        case u'"':
            if (n == end) return match(p + 1, n);
            return name_[n] == u'.' && match(p + 1, n + 1);
        default:
            return n < end && name_[n] == pattern_[p] && match(p + 1, n + 1);
        }
    }

    const std::u16string& name_;
    const std::u16string& pattern_;
    size_t lastDot_;
    std::vector<signed char> memo_;
};

}  // namespace

// Names are compared and sorted many times per call, so they are decoded
// here directly rather than through iconv. A byte that is not valid UTF-8
// stands for itself (names come from winsim's own UTF-8, so this does not
// happen in practice).
std::u16string utf8ToUtf16(const std::string& utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        char32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = length != 0 && i + length <= utf8.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            valid = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::u16string upperKey(const std::string& utf8) {
    std::u16string units = utf8ToUtf16(utf8);
    for (char16_t& c : units) c = upperUnit(c);
    return units;
}

std::string upperName(const std::string& utf8) { return utf16ToUtf8(upperKey(utf8)); }

bool matchesFindPattern(const std::string& name, const std::string& pattern, bool patternHadTrailingDot) {
    const std::u16string n = upperKey(name);
    const std::u16string p = dosPattern(upperKey(pattern), patternHadTrailingDot);
    return DosMatcher(n, p).match(0, 0);
}

uint64_t fileTimeFromUnix(int64_t seconds, long nanoseconds) {
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
    return static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * 10000000ULL +
           static_cast<uint64_t>(nanoseconds / 100);
}

}  // namespace winsim
