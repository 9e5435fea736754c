#include "codepage.h"

#include <cerrno>
#include <iconv.h>

#include "winsim/machine.h"

namespace winsim {

const char* iconvName(UINT codePage) {
    switch (codePage) {
    case 932: return "CP932";
    case 1252: return "CP1252";
    case CP_UTF8: return "UTF-8";
    default: return nullptr;
    }
}

std::optional<std::string> convert(const std::string& in, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    // iconv counts irreversible conversions in its result; Windows code
    // pages have none for what we convert, so any non-zero count is a
    // character without a mapping.
    if (rc == static_cast<size_t>(-1) || rc != 0) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

std::optional<std::u16string> toUtf16(const std::string& in, UINT codePage) {
    const char* name = iconvName(codePage);
    if (!name) return std::nullopt;
    auto bytes = convert(in, name, "UTF-16LE");
    if (!bytes) return std::nullopt;
    std::u16string out(bytes->size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                       (static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8));
    return out;
}

std::string fromUtf16(const std::u16string& in, UINT codePage, bool* usedDefault) {
    if (usedDefault) *usedDefault = false;
    const char* name = iconvName(codePage);
    std::string out;
    if (!name) return out;
    // Convert character by character so that one without a mapping becomes
    // the default character '?' and the rest is kept.
    for (size_t i = 0; i < in.size(); ++i) {
        std::string unit;
        size_t n = 1;
        if (in[i] >= 0xD800 && in[i] <= 0xDBFF && i + 1 < in.size()) n = 2;
        for (size_t k = 0; k < n; ++k) {
            unit += static_cast<char>(in[i + k] & 0xFF);
            unit += static_cast<char>(in[i + k] >> 8);
        }
        auto converted = convert(unit, "UTF-16LE", name);
        if (converted) {
            out += *converted;
        } else {
            out += '?';
            if (usedDefault) *usedDefault = true;
        }
        i += n - 1;
    }
    return out;
}

std::string acpToUtf8(const std::string& ansi) {
    auto wide = toUtf16(ansi, current().system.acp);
    if (!wide) return ansi;
    return fromUtf16(*wide, CP_UTF8);
}

std::string utf8ToAcp(const std::string& utf8) {
    auto wide = toUtf16(utf8, CP_UTF8);
    if (!wide) return utf8;
    return fromUtf16(*wide, current().system.acp);
}

bool isLeadByte(UINT codePage, unsigned char byte) {
    if (codePage == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return false;
}

}  // namespace winsim
