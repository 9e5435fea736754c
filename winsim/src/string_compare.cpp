#include "string_compare.h"

#include <cstring>
#include <vector>

#include "codepage.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

// ASCII symbols in the order of Windows' default sort table (measured with
// CompareString): the space first, and '+', '<', '=', '>' after '~'.
constexpr char kSymbolOrder[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

enum Class { kSymbol = 1, kDigit = 2, kLatinLetter = 3, kOtherLetter = 4 };

struct Element {
    long primary;
    int tertiary;  // case and width: lower half < lower full < upper half < upper full
};

struct Special {
    size_t position;
    int weight;  // apostrophe < hyphen
};

// Full-width ASCII forms (U+FF01 to U+FF5E) sort as their ASCII forms with
// a width difference.
char16_t narrow(char16_t c, bool* wide) {
    *wide = c >= 0xFF01 && c <= 0xFF5E;
    return *wide ? static_cast<char16_t>(c - 0xFEE0) : c;
}

long primaryWeight(char16_t c) {
    if (c < 0x80) {
        if (c >= u'0' && c <= u'9') return kDigit * 0x10000L + (c - u'0');
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return kLatinLetter * 0x10000L + upperCase(c);
        const char* p = std::strchr(kSymbolOrder, static_cast<char>(c));
        // Control characters sort among the symbols, after the space.
        if (!p || c == 0) return kSymbol * 0x10000L + 1 + c;
        return kSymbol * 0x10000L + (p == kSymbolOrder ? 0 : 0x100 + (p - kSymbolOrder));
    }
    return kOtherLetter * 0x10000L + upperCase(c);
}

void weigh(const std::u16string& s, std::vector<Element>* elements, std::vector<Special>* specials) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\'' || s[i] == u'-') {
            specials->push_back(Special{i, s[i] == u'-' ? 2 : 1});
            continue;
        }
        bool wide = false;
        const char16_t c = narrow(s[i], &wide);
        const bool upper = lowerCase(c) != c;
        elements->push_back(Element{primaryWeight(c), (upper ? 2 : 0) + (wide ? 1 : 0)});
    }
}

int sign(long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

int compareWordSort(const std::u16string& a, const std::u16string& b, bool ignoreCase) {
    std::vector<Element> ea, eb;
    std::vector<Special> sa, sb;
    weigh(a, &ea, &sa);
    weigh(b, &eb, &sb);

    const size_t common = ea.size() < eb.size() ? ea.size() : eb.size();
    for (size_t i = 0; i < common; ++i)
        if (ea[i].primary != eb[i].primary) return sign(ea[i].primary - eb[i].primary);
    if (ea.size() != eb.size()) return ea.size() < eb.size() ? -1 : 1;

    for (size_t i = 0; i < ea.size(); ++i) {
        int ta = ea[i].tertiary, tb = eb[i].tertiary;
        if (ignoreCase) {
            ta &= 1;
            tb &= 1;
        }
        if (ta != tb) return ta < tb ? -1 : 1;
    }

    // A hyphen or apostrophe further to the right weighs less.
    const size_t commonSpecial = sa.size() < sb.size() ? sa.size() : sb.size();
    for (size_t i = 0; i < commonSpecial; ++i) {
        if (sa[i].position != sb[i].position) return sa[i].position > sb[i].position ? -1 : 1;
        if (sa[i].weight != sb[i].weight) return sa[i].weight < sb[i].weight ? -1 : 1;
    }
    if (sa.size() != sb.size()) return sa.size() < sb.size() ? -1 : 1;

    // Different characters with the same weights (which winsim's simplified
    // weights can produce) still must not compare equal.
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t ca = ignoreCase ? upperCase(a[i]) : a[i];
        char16_t cb = ignoreCase ? upperCase(b[i]) : b[i];
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return 0;
}

int compareAnsiWordSort(const char* a, const char* b, bool ignoreCase) {
    const UINT acp = current().system.acp;
    DecodedText wa = decode(a, std::strlen(a), acp);
    DecodedText wb = decode(b, std::strlen(b), acp);
    return compareWordSort(wa.text, wb.text, ignoreCase);
}

}  // namespace winsim
