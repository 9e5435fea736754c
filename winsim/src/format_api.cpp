// USER32 wsprintfA and wvsprintfA.
//
// The format is %[-][#][0][width][.precision][size]type, with the flags in
// that order. There is no floating point and no '*' width: a character that
// is not a known type is printed as it stands (after the field's padding),
// so "%%" gives "%" and "%*d" gives "*d". The output buffer is taken to
// hold 1024 bytes: at most 1023 characters and the terminator are written.
// The return value counts the characters stored, as documented.
#include <cstdarg>
#include <cstring>
#include <string>

#include <windows.h>

#include "codepage.h"
#include "winsim/machine.h"

namespace {

constexpr size_t kBufferBytes = 1024;
constexpr size_t kMaxOutput = kBufferBytes - 1;

enum class Type { Unknown, Char, WideChar, String, WideString, Signed, Unsigned, Hex };
enum class Size { Int, Short, Long, Wide, Int64, IntPtr };

struct Directive {
    bool leftAlign = false;
    bool hexPrefix = false;
    bool zeroPad = false;
    size_t width = 0;
    size_t precision = 0;
    bool upperHex = false;
    Size size = Size::Int;
    Type type = Type::Unknown;
};

size_t clampField(size_t v) { return v > kMaxOutput ? kMaxOutput : v; }

// Parses the directive after '%'; `p` is left on the type character,
// or, for an unknown type, on the character to print as it stands.
Directive parse(const char*& p) {
    Directive s;
    if (*p == '-') { s.leftAlign = true; ++p; }
    if (*p == '#') { s.hexPrefix = true; ++p; }
    if (*p == '0') { s.zeroPad = true; ++p; }
    while (*p >= '0' && *p <= '9') s.width = clampField(s.width * 10 + static_cast<size_t>(*p++ - '0'));
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') s.precision = clampField(s.precision * 10 + static_cast<size_t>(*p++ - '0'));
    }
    if (*p == 'l') { s.size = Size::Long; ++p; }
    else if (*p == 'h') { s.size = Size::Short; ++p; }
    else if (*p == 'w') { s.size = Size::Wide; ++p; }
    else if (*p == 'I') {
        if (p[1] == '6' && p[2] == '4') { s.size = Size::Int64; p += 3; }
        else if (p[1] == '3' && p[2] == '2') p += 3;
        else { s.size = Size::IntPtr; ++p; }
    }
    switch (*p) {
    case 'c': s.type = s.size == Size::Long ? Type::WideChar : Type::Char; break;
    case 'C': s.type = s.size == Size::Short ? Type::Char : Type::WideChar; break;
    case 'd':
    case 'i': s.type = Type::Signed; break;
    case 's': s.type = (s.size == Size::Long || s.size == Size::Wide) ? Type::WideString : Type::String; break;
    case 'S': s.type = (s.size == Size::Short || s.size == Size::Wide) ? Type::String : Type::WideString; break;
    case 'u': s.type = Type::Unsigned; break;
    case 'p':
        s.width = 2 * sizeof(void*);
        s.zeroPad = true;
        s.size = Size::IntPtr;
        s.upperHex = true;
        s.type = Type::Hex;
        break;
    case 'X': s.upperHex = true; s.type = Type::Hex; break;
    case 'x': s.type = Type::Hex; break;
    default: s.type = Type::Unknown; break;
    }
    if (s.leftAlign) s.zeroPad = false;
    return s;
}

std::string wideToAnsi(const WCHAR* text, size_t count) {
    return winsim::encode(reinterpret_cast<const char16_t*>(text), count, winsim::current().system.acp, "?");
}

std::string digits(unsigned long long v, unsigned base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), set[v % base]);
        v /= base;
    } while (v);
    return out;
}

void pad(std::string& out, size_t from, size_t to) {
    if (to > from) out.append(to - from, ' ');
}

// Appends one formatted field; returns false for an unknown type.
bool formatField(std::string& out, const Directive& s, va_list& args) {
    std::string body;  // the text of the field without its padding
    switch (s.type) {
    case Type::Unknown:
        if (!s.leftAlign) pad(out, 0, s.width);
        return false;
    case Type::Char: {
        const char c = static_cast<char>(va_arg(args, int));
        // %hc ignores a zero character; plain %c writes it.
        if (c == '\0' && s.size == Size::Short) return true;
        body.assign(1, c);
        break;
    }
    case Type::WideChar: {
        const WCHAR c = static_cast<WCHAR>(va_arg(args, int));
        if (c == 0) return true;  // %lc and %C ignore a zero character
        body = wideToAnsi(&c, 1);
        break;
    }
    case Type::String: {
        const char* str = va_arg(args, const char*);
        if (!str) str = "(null)";
        size_t n = 0;
        while (str[n] != '\0' && (s.precision == 0 || n < s.precision)) ++n;
        body.assign(str, n);
        break;
    }
    case Type::WideString: {
        const WCHAR* str = va_arg(args, const WCHAR*);
        if (!str) str = u"(null)";
        size_t n = 0;
        while (str[n] != 0) ++n;
        body = wideToAnsi(str, n);
        // The precision counts bytes of the converted text.
        if (s.precision && body.size() > s.precision) body.resize(s.precision);
        break;
    }
    case Type::Signed:
    case Type::Unsigned:
    case Type::Hex: {
        long long value;
        if (s.size == Size::IntPtr) value = static_cast<long long>(va_arg(args, INT_PTR));
        else if (s.size == Size::Int64) value = va_arg(args, long long);
        else value = va_arg(args, int);
        unsigned long long magnitude = static_cast<unsigned long long>(value);
        std::string sign;
        if (s.type == Type::Signed && value < 0) {
            sign = "-";
            magnitude = 0 - magnitude;
        }
        // 32-bit fields print the 32-bit value.
        if (s.size != Size::IntPtr && s.size != Size::Int64) magnitude &= 0xFFFFFFFFULL;
        std::string number = sign + digits(magnitude, s.type == Type::Hex ? 16 : 10, s.upperHex);
        // The precision is the minimum count of characters, the sign
        // included; zero padding widens it to the field width.
        size_t precision = s.precision > number.size() ? s.precision : number.size();
        if (s.zeroPad && s.width > precision) precision = s.width;
        if (!s.leftAlign) pad(out, precision, s.width);
        if (s.type == Type::Hex && s.hexPrefix) out += s.upperHex ? "0X" : "0x";
        out += sign;
        out.append(precision - number.size(), '0');
        out += number.substr(sign.size());
        if (s.leftAlign) pad(out, precision, s.width);
        return true;
    }
    }
    if (!s.leftAlign) pad(out, body.size(), s.width);
    out += body;
    if (s.leftAlign) pad(out, body.size(), s.width);
    return true;
}

int format(LPSTR buffer, LPCSTR pattern, va_list& args) {
    std::string out;
    const char* p = pattern;
    while (*p && out.size() <= kMaxOutput) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        ++p;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        Directive s = parse(p);
        // An unknown type character stays in the format and is printed as
        // an ordinary character on the next turn.
        if (formatField(out, s, args)) ++p;
    }
    if (out.size() > kMaxOutput) out.resize(kMaxOutput);
    std::memcpy(buffer, out.data(), out.size());
    buffer[out.size()] = '\0';
    return static_cast<int>(out.size());
}

}  // namespace

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR pattern, ...) {
    va_list args;
    va_start(args, pattern);
    int n = format(buffer, pattern, args);
    va_end(args);
    return n;
}

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR pattern, va_list arglist) {
    va_list args;
    va_copy(args, arglist);
    int n = format(buffer, pattern, args);
    va_end(args);
    return n;
}
