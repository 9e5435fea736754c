#include "codepage.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <map>
#include <utility>

#include "winsim/machine.h"

namespace winsim {
namespace {

// iconv descriptors are costly to open and the conversions below run one
// character at a time on their slow paths, so each pair of encodings is
// opened once and kept open (and reachable) for the life of the process.
iconv_t descriptor(const char* from, const char* to) {
    static auto* cache = new std::map<std::pair<std::string, std::string>, iconv_t>;
    auto key = std::make_pair(std::string(from), std::string(to));
    auto it = cache->find(key);
    if (it != cache->end()) return it->second;
    iconv_t cd = iconv_open(to, from);
    cache->emplace(key, cd);
    return cd;
}

// Single bytes that Windows' tables map and iconv's leave undefined. In
// code page 1252 the five unassigned bytes map to the C1 control with the
// same value and round-trip; in code page 932 0x80 maps to U+0080 and 0xA0,
// 0xFD, 0xFE, 0xFF map to private-use characters, which MB_ERR_INVALID_CHARS
// refuses as single bytes.
struct ExtraMapping {
    unsigned char byte;
    char16_t unit;
    bool valid;
};
constexpr ExtraMapping kExtra1252[] = {
    {0x81, 0x0081, true}, {0x8D, 0x008D, true}, {0x8F, 0x008F, true}, {0x90, 0x0090, true}, {0x9D, 0x009D, true},
};
constexpr ExtraMapping kExtra932[] = {
    {0x80, 0x0080, true}, {0xA0, 0xF8F0, false}, {0xFD, 0xF8F1, false}, {0xFE, 0xF8F2, false}, {0xFF, 0xF8F3, false},
};

const ExtraMapping* extraByByte(UINT codePage, unsigned char byte) {
    if (codePage == 1252)
        for (const auto& e : kExtra1252)
            if (e.byte == byte) return &e;
    if (codePage == 932)
        for (const auto& e : kExtra932)
            if (e.byte == byte) return &e;
    return nullptr;
}

const ExtraMapping* extraByUnit(UINT codePage, char16_t unit) {
    if (codePage == 1252)
        for (const auto& e : kExtra1252)
            if (e.unit == unit) return &e;
    if (codePage == 932)
        for (const auto& e : kExtra932)
            if (e.unit == unit) return &e;
    return nullptr;
}

// The character MultiByteToWideChar substitutes for an invalid sequence.
constexpr char16_t kDefault932 = 0x30FB;  // KATAKANA MIDDLE DOT
constexpr char16_t kReplacement = 0xFFFD;

std::string toBytes(const std::u16string& units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

std::u16string fromBytes(const std::string& bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return units;
}

bool isSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }
bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// One character of code page 1252 or 932 (one or two bytes).
bool decodeOne(const char* bytes, size_t n, UINT codePage, char16_t* unit) {
    auto wide = convert(std::string(bytes, n), iconvName(codePage), "UTF-16LE");
    if (!wide || wide->size() != 2) return false;
    *unit = fromBytes(*wide)[0];
    return true;
}

DecodedText decodeAnsi(const char* bytes, size_t size, UINT codePage) {
    DecodedText out;
    for (size_t i = 0; i < size;) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        char16_t unit = 0;
        if (isLeadByte(codePage, b)) {
            // A lead byte takes the next byte as its trail unless the string
            // ends or the next byte is the terminator; an undefined pair is
            // one invalid character.
            if (i + 1 < size && bytes[i + 1] != '\0') {
                if (!decodeOne(bytes + i, 2, codePage, &unit)) {
                    unit = kDefault932;
                    out.invalid = true;
                }
                i += 2;
            } else {
                unit = kDefault932;
                out.invalid = true;
                i += 1;
            }
        } else if (const ExtraMapping* e = extraByByte(codePage, b)) {
            unit = e->unit;
            if (!e->valid) out.invalid = true;
            i += 1;
        } else {
            if (!decodeOne(bytes + i, 1, codePage, &unit)) {
                unit = codePage == 932 ? kDefault932 : u'?';
                out.invalid = true;
            }
            i += 1;
        }
        out.text += unit;
    }
    return out;
}

// UTF-8 with each invalid sequence replaced by U+FFFD. The replaced span is
// the lead byte and the continuation bytes that could still have belonged
// to it (the "maximal subpart"), which is how Windows and Wine count them.
DecodedText decodeUtf8(const char* bytes, size_t size) {
    DecodedText out;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.text += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) length = 2;
        else if (b >= 0xE0 && b <= 0xEF) length = 3;
        else if (b >= 0xF0 && b <= 0xF4) length = 4;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
        size_t n = 1;
        while (length && n < length && i + n < size) {
            const unsigned char c = s[i + n];
            const unsigned char lo = n == 1 ? low : 0x80;
            const unsigned char hi = n == 1 ? high : 0xBF;
            if (c < lo || c > hi) break;
            ++n;
        }
        if (length && n == length) {
            auto wide = convert(std::string(bytes + i, n), "UTF-8", "UTF-16LE");
            if (wide) {
                out.text += fromBytes(*wide);
                i += n;
                continue;
            }
        }
        out.text += kReplacement;
        out.invalid = true;
        i += n;
    }
    return out;
}

std::string encodeAnsiUnit(char16_t unit, UINT codePage) {
    if (isSurrogate(unit)) return std::string();
    if (const ExtraMapping* e = extraByUnit(codePage, unit)) return std::string(1, static_cast<char>(e->byte));
    auto bytes = convert(toBytes(std::u16string(1, unit)), "UTF-16LE", iconvName(codePage));
    if (!bytes || bytes->empty()) return std::string();
    // iconv maps a few characters (U+2014, U+203E, U+301C, ...) onto bytes
    // that decode to a different character; Windows has no such mapping, so
    // only a mapping that decodes back to the same character is accepted.
    DecodedText back = decodeAnsi(bytes->data(), bytes->size(), codePage);
    if (back.invalid || back.text != std::u16string(1, unit)) return std::string();
    return *bytes;
}

std::string encodeAnsi(const char16_t* units, size_t count, UINT codePage, const std::string& defaultChar,
                       bool* usedDefault) {
    const std::u16string in(units, count);
    // Fast path: the whole text converts and decodes back to itself.
    if (auto bytes = convert(toBytes(in), "UTF-16LE", iconvName(codePage))) {
        DecodedText back = decodeAnsi(bytes->data(), bytes->size(), codePage);
        if (!back.invalid && back.text == in) return *bytes;
    }
    std::string out;
    for (char16_t unit : in) {
        std::string bytes = encodeAnsiUnit(unit, codePage);
        if (bytes.empty()) {
            bytes = defaultChar;
            if (usedDefault) *usedDefault = true;
        }
        out += bytes;
    }
    return out;
}

std::string encodeUtf8(const char16_t* units, size_t count, bool* invalid) {
    std::u16string clean;
    clean.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < count && isLowSurrogate(units[i + 1])) {
            clean += u;
            clean += units[++i];
        } else if (isSurrogate(u)) {
            clean += kReplacement;
            if (invalid) *invalid = true;
        } else {
            clean += u;
        }
    }
    return convert(toBytes(clean), "UTF-16LE", "UTF-8").value_or(std::string());
}

locale_t unicodeLocale() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

const char* iconvName(UINT codePage) {
    switch (codePage) {
    case 932: return "CP932";
    case 1252: return "CP1252";
    case CP_UTF8: return "UTF-8";
    default: return nullptr;
    }
}

std::optional<std::string> convert(const std::string& in, const char* from, const char* to) {
    iconv_t cd = descriptor(from, to);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    // iconv counts irreversible conversions in its result; any non-zero
    // count is a character without a proper mapping.
    if (rc == static_cast<size_t>(-1) || rc != 0) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

DecodedText decode(const char* bytes, size_t size, UINT codePage) {
    const char* name = iconvName(codePage);
    if (!name) return DecodedText{std::u16string(), true};
    // Fast path: iconv accepts the whole text. Its tables agree with
    // Windows' for every sequence that both define.
    if (auto wide = convert(std::string(bytes, size), name, "UTF-16LE")) return DecodedText{fromBytes(*wide), false};
    if (codePage == CP_UTF8) return decodeUtf8(bytes, size);
    return decodeAnsi(bytes, size, codePage);
}

std::string encode(const char16_t* units, size_t count, UINT codePage, const std::string& defaultChar,
                   bool* usedDefault, bool* invalid) {
    if (usedDefault) *usedDefault = false;
    if (invalid) *invalid = false;
    if (codePage == CP_UTF8) return encodeUtf8(units, count, invalid);
    if (!iconvName(codePage)) return std::string();
    return encodeAnsi(units, count, codePage, defaultChar, usedDefault);
}

std::optional<std::u16string> toUtf16(const std::string& in, UINT codePage) {
    DecodedText d = decode(in.data(), in.size(), codePage);
    if (d.invalid) return std::nullopt;
    return d.text;
}

std::string fromUtf16(const std::u16string& in, UINT codePage, bool* usedDefault) {
    return encode(in.data(), in.size(), codePage, "?", usedDefault);
}

std::string acpToUtf8(const std::string& ansi) {
    DecodedText d = decode(ansi.data(), ansi.size(), current().system.acp);
    return fromUtf16(d.text, CP_UTF8);
}

std::string utf8ToAcp(const std::string& utf8) {
    DecodedText d = decode(utf8.data(), utf8.size(), CP_UTF8);
    return fromUtf16(d.text, current().system.acp);
}

bool isLeadByte(UINT codePage, unsigned char byte) {
    // Windows' code page 932 declares the lead-byte ranges 0x81-0x9F and
    // 0xE0-0xFC in its CPINFO.
    if (codePage == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return false;
}

size_t wholeCharacterPrefix(const std::string& bytes, size_t limit, UINT codePage) {
    size_t i = 0;
    while (i < bytes.size()) {
        size_t n = (isLeadByte(codePage, static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size()) ? 2 : 1;
        if (i + n > limit) break;
        i += n;
    }
    return i;
}

char16_t upperCase(char16_t unit) {
    if (unit < 0x80) return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
    if (isSurrogate(unit) || !unicodeLocale()) return unit;
    wint_t upper = towupper_l(static_cast<wint_t>(unit), unicodeLocale());
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

char16_t lowerCase(char16_t unit) {
    if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 0x20) : unit;
    if (isSurrogate(unit) || !unicodeLocale()) return unit;
    wint_t lower = towlower_l(static_cast<wint_t>(unit), unicodeLocale());
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : unit;
}

}  // namespace winsim
