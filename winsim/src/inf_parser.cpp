#include "inf_parser.h"

#include "codepage.h"

namespace winsim {

namespace {

constexpr char16_t kControlZ = 0x1A;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f'; }

size_t endOfLine(const std::u16string& text, size_t pos) {
    while (pos < text.size() && text[pos] != u'\n') ++pos;
    return pos;
}

// Reads one entry line (with the lines that continue it) from `pos`, which
// is at its first character, and leaves `pos` at the '\n' that ends it (or
// at the end of the text).
class EntryReader {
public:
    EntryReader(const std::u16string& text, size_t& pos, UINT& lineNumber)
        : text_(text), pos_(pos), lineNumber_(lineNumber) {}

    InfLine read() {
        while (pos_ < text_.size() && text_[pos_] != u'\n') {
            const char16_t c = text_[pos_];
            if (atFieldStart_ && isBlank(c)) {
                ++pos_;
            } else if (c == u'"') {
                readQuoted();
            } else if (c == u';') {
                pos_ = endOfLine(text_, pos_);
            } else if (c == u'=' && inKey_) {
                line_.hasKey = true;
                line_.key = token_;
                startField();
                inKey_ = false;
                ++pos_;
            } else if (c == u',') {
                line_.fields.push_back(token_);
                startField();
                inKey_ = false;
                ++pos_;
            } else if (c == u'\\') {
                readBackslash();
            } else if (isBlank(c)) {
                blanks_ += c;
                ++pos_;
            } else {
                append(std::u16string(1, c));
                ++pos_;
            }
        }
        line_.fields.push_back(token_);
        // A line of one field without a key has that field as its key.
        if (!line_.hasKey && line_.fields.size() == 1) {
            line_.hasKey = true;
            line_.key = line_.fields[0];
        }
        return line_;
    }

private:
    // Blanks between two parts of a field belong to it; blanks at its end
    // are dropped, so they wait in blanks_ until more text follows.
    void append(const std::u16string& text) {
        token_ += blanks_;
        blanks_.clear();
        token_ += text;
        atFieldStart_ = false;
    }

    void startField() {
        token_.clear();
        blanks_.clear();
        atFieldStart_ = true;
    }

    void readQuoted() {
        append(std::u16string());
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != u'\n') {
            if (text_[pos_] == u'"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'"') {
                    token_ += u'"';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return;
            }
            token_ += text_[pos_++];
        }
    }

    void readBackslash() {
        size_t end = pos_;
        while (end < text_.size() && (text_[end] == u'\\' || isBlank(text_[end]))) ++end;
        if (end < text_.size() && text_[end] != u'\n' && text_[end] != u';') {
            // Text follows on this line: the backslashes are ordinary.
            append(text_.substr(pos_, end - pos_));
            pos_ = end;
            return;
        }
        // A continuation: the entry goes on with the next line, whose
        // leading blanks are skipped; blanks before the backslash go too.
        end = endOfLine(text_, end);
        blanks_.clear();
        pos_ = end;
        if (pos_ < text_.size()) {
            ++pos_;
            ++lineNumber_;
        }
        while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    }

    const std::u16string& text_;
    size_t& pos_;
    UINT& lineNumber_;
    InfLine line_;
    std::u16string token_;
    std::u16string blanks_;
    bool atFieldStart_ = true;
    bool inKey_ = true;  // no '=' or ',' seen yet
};

bool isDecimalNumber(const std::u16string& text, long* value) {
    if (text.empty() || text.size() > 9) return false;
    size_t i = text[0] == u'-' ? 1 : 0;
    if (i == text.size()) return false;
    long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return false;
        v = v * 10 + (text[i] - u'0');
    }
    *value = text[0] == u'-' ? -v : v;
    return true;
}

}  // namespace

bool equalsIgnoreCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperCase(a[i]) != upperCase(b[i])) return false;
    return true;
}

int InfFile::findSection(const std::u16string& name) const {
    for (size_t i = 0; i < sections.size(); ++i)
        if (equalsIgnoreCase(sections[i].name, name)) return static_cast<int>(i);
    return -1;
}

const InfLine* InfFile::findLine(const std::u16string& section, const std::u16string& key,
                                 const DirIdResolver& dirids) const {
    const int index = findSection(section);
    if (index < 0) return nullptr;
    for (const InfLine& line : sections[index].lines)
        if (line.hasKey && equalsIgnoreCase(substitute(line.key, dirids), key)) return &line;
    return nullptr;
}

namespace {

std::u16string stringsSectionOf(WORD language) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string name = u"Strings.";
    for (int shift = 12; shift >= 0; shift -= 4) name += kDigits[(language >> shift) & 0xF];
    return name;
}

}  // namespace

std::u16string InfFile::substitute(const std::u16string& raw, const DirIdResolver& dirids) const {
    // The Strings sections in the order a token is looked up in them.
    std::vector<int> strings;
    if (language != 0) {
        const WORD primary = language & 0x3FF;
        for (WORD candidate : {language, primary}) {
            const int index = findSection(stringsSectionOf(candidate));
            if (index >= 0 && (strings.empty() || strings.back() != index)) strings.push_back(index);
        }
    }
    if (const int index = findSection(u"Strings"); index >= 0) strings.push_back(index);
    std::u16string out;
    size_t pos = 0;
    while (pos < raw.size() && out.size() < kMaxInfStringLength) {
        const size_t open = raw.find(u'%', pos);
        const size_t close = open == std::u16string::npos ? open : raw.find(u'%', open + 1);
        if (close == std::u16string::npos) {
            out += raw.substr(pos);
            break;
        }
        out += raw.substr(pos, open - pos);
        const std::u16string name = raw.substr(open + 1, close - open - 1);
        pos = close + 1;
        if (name.empty()) {
            out += u'%';
            continue;
        }
        const InfLine* value = nullptr;
        for (size_t i = 0; i < strings.size() && !value; ++i) {
            for (const InfLine& line : sections[strings[i]].lines) {
                if (line.hasKey && equalsIgnoreCase(line.key, name)) {
                    value = &line;
                    break;
                }
            }
        }
        if (value && !value->fields.empty()) {
            out += value->fields[0];
            continue;
        }
        long dirid = 0;
        std::optional<std::u16string> folder;
        if (isDecimalNumber(name, &dirid) && dirids) folder = dirids(dirid);
        if (folder) {
            std::u16string text = *folder;
            // "%10%\system32" must not give a doubled backslash.
            if (pos < raw.size() && raw[pos] == u'\\' && !text.empty() && text.back() == u'\\') text.pop_back();
            out += text;
            continue;
        }
        out += raw.substr(open, close - open + 1);
    }
    if (out.size() > kMaxInfStringLength) out.resize(kMaxInfStringLength);
    return out;
}

bool InfFile::hasWin4Signature() const {
    const int version = findSection(u"Version");
    if (version < 0) return false;
    for (const InfLine& line : sections[version].lines) {
        if (!line.hasKey || !equalsIgnoreCase(line.key, u"Signature")) continue;
        if (line.fields.empty()) return false;
        return equalsIgnoreCase(line.fields[0], u"$Chicago$") || equalsIgnoreCase(line.fields[0], u"$Windows NT$");
    }
    return false;
}

DWORD InfParseResult::openError(UINT* line) const {
    if (error) {
        *line = errorLine;
        return error;
    }
    if (strayLine && file.findSection(u"Strings") < 0) {
        *line = strayLine;
        return ERROR_EXPECTED_SECTION_NAME;
    }
    return 0;
}

std::u16string decodeInfText(const std::string& bytes, UINT ansiCodePage) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
        return text;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return decode(bytes.data() + 3, bytes.size() - 3, CP_UTF8).text;
    return decode(bytes.data(), bytes.size(), ansiCodePage).text;
}

InfParseResult parseInf(const std::u16string& input) {
    InfParseResult result;
    std::u16string text = input.substr(0, input.find(kControlZ));
    for (char16_t& c : text)
        if (c == 0) c = u' ';

    int current = -1;
    UINT lineNumber = 1;
    size_t pos = 0;
    while (pos < text.size()) {
        const char16_t c = text[pos];
        if (c == u'\n') {
            ++lineNumber;
            ++pos;
        } else if (isBlank(c)) {
            ++pos;
        } else if (c == u';') {
            pos = endOfLine(text, pos);
        } else if (c == u'[') {
            const size_t close = text.find_first_of(u"]\n", pos + 1);
            if (close == std::u16string::npos || text[close] != u']') {
                result.error = ERROR_BAD_SECTION_NAME_LINE;
                result.errorLine = lineNumber;
                return result;
            }
            std::u16string name = text.substr(pos + 1, close - pos - 1);
            if (name.size() > kMaxInfSectionName) {
                result.error = ERROR_SECTION_NAME_TOO_LONG;
                result.errorLine = lineNumber;
                return result;
            }
            current = result.file.findSection(name);
            if (current < 0) {
                result.file.sections.push_back(InfSection{name, {}});
                current = static_cast<int>(result.file.sections.size()) - 1;
            }
            // Whatever follows the ']' on the line is ignored.
            pos = endOfLine(text, close);
        } else if (current < 0) {
            if (!result.strayLine) result.strayLine = lineNumber;
            pos = endOfLine(text, pos);
        } else {
            InfLine line = EntryReader(text, pos, lineNumber).read();
            result.file.sections[current].lines.push_back(std::move(line));
        }
    }
    return result;
}

}  // namespace winsim
