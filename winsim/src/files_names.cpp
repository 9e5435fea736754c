// Name rules of the simulated NTFS volume: the upper-case mapping names are
// compared with, and FindFirstFileA's wildcard matching.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <locale.h>

#include "codepage.h"
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
// '<' any run up to and including the name's last dot, but nothing after
// it; '>' one character, or nothing at a dot or at the end; '"' a dot, or
// nothing at the end.
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
            if (n == end || (lastDot_ != std::u16string::npos && n > lastDot_)) return false;
            // The name's last dot ends the run: '<' takes it and stops.
            if (n == lastDot_) return match(p + 1, n + 1);
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

std::u16string upperKey(const std::string& utf8) {
    std::u16string units = toUtf16(utf8, CP_UTF8).value_or(std::u16string());
    for (char16_t& c : units) c = upperUnit(c);
    return units;
}

std::string upperName(const std::string& utf8) { return fromUtf16(upperKey(utf8), CP_UTF8); }

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
