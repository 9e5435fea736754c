// The INF file syntax of the Setup API: text decoding, sections, lines with
// an optional key and comma-separated fields, and the %strkey% substitution
// that happens when a field is read.
//
// The rules follow Microsoft's "General Syntax Rules for INF Files" and,
// where those are silent, what setupapi.dll does as Wine's parser tests
// record it (those tests pass on Windows):
// - sections start with "[name]" (the text up to the first ']', blanks
//   kept); sections of the same name, compared without regard to case,
//   are merged; a name longer than 255 characters or a '[' line without
//   ']' fails the whole file;
// - a line is "key = field1, field2, ..." or "field1, field2, ..."; a line
//   of one field without '=' has that field as its key too; blanks around
//   keys and fields are dropped, blanks inside them kept;
// - '"' quotes text in which ',', '=', ';' and '\' are ordinary characters
//   and "" stands for one '"'; a quote that is not closed ends at the end
//   of the line;
// - ';' outside quotes starts a comment that runs to the end of the line;
// - a '\' followed by nothing but blanks (and possibly a comment) up to the
//   end of the line joins the next line to this one, without the blanks of
//   either side; any other '\' is an ordinary character;
// - Ctrl-Z ends the file, a NUL character reads as a blank;
// - text before the first section is ignored when the file has a
//   [Strings] section, and fails the file otherwise;
// - a %strkey% token is looked up in [Strings.<language>] for the
//   language of the system's locale (four hex digits, "Strings.0411"),
//   then in [Strings.<primary language>] ("Strings.0011", the default of
//   every Japanese locale), then in [Strings], as "INF Strings Section"
//   and "Creating International INF Files" describe.
// Field texts are kept as written (quotes removed) and substituted when
// they are read, as SetupGetStringField does.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

// MAX_INF_STRING_LENGTH: the longest text a field yields after
// substitution; longer results are cut, as Windows 10 cuts them.
constexpr size_t kMaxInfStringLength = 4096;
// The longest section name Windows 2000 and later accept.
constexpr size_t kMaxInfSectionName = 255;

struct InfLine {
    bool hasKey = false;
    std::u16string key;                 // as written, not substituted
    std::vector<std::u16string> fields;  // field 1 first
};

struct InfSection {
    std::u16string name;
    std::vector<InfLine> lines;
};

// The text a %dirid% token stands for (a DIRID such as 10, the Windows
// folder), or nothing when the number is not one the caller knows.
using DirIdResolver = std::function<std::optional<std::u16string>(long dirid)>;

class InfFile {
public:
    std::vector<InfSection> sections;
    // The language (LANGID) whose [Strings.<language>] sections come
    // before [Strings]; 0 reads [Strings] only.
    WORD language = 0;

    // The index of the section, names compared without regard to case;
    // -1 when the file has none of that name.
    int findSection(const std::u16string& name) const;
    // The first line of the section whose key is `key` (compared without
    // regard to case, after substitution), or null.
    const InfLine* findLine(const std::u16string& section, const std::u16string& key,
                            const DirIdResolver& dirids) const;

    // The text of a field as SetupGetStringField returns it: %strkey%
    // replaced by its value in the first of the Strings sections above
    // that defines it, %% by %, %dirid% by the
    // resolver's text (without its trailing backslash when a backslash
    // follows the token); an unknown or unclosed token stays as written.
    // Values from [Strings] are not substituted again. Cut at
    // kMaxInfStringLength characters.
    std::u16string substitute(const std::u16string& raw, const DirIdResolver& dirids) const;

    // Whether [Version] has Signature = "$Chicago$" or "$Windows NT$"
    // (without regard to case): the mark of a Windows 4 style INF file.
    bool hasWin4Signature() const;
};

struct InfParseResult {
    // ERROR_BAD_SECTION_NAME_LINE or ERROR_SECTION_NAME_TOO_LONG, which
    // fail the file at once, or 0.
    DWORD error = 0;
    UINT errorLine = 0;
    // The first line of text before the first section, or 0. It fails the
    // file with ERROR_EXPECTED_SECTION_NAME unless the file has a [Strings]
    // section; the caller checks the file's style first, as Windows does.
    UINT strayLine = 0;
    InfFile file;

    // The error that opening the file reports once the style was accepted
    // (0 when the file opens), with its line in *line.
    DWORD openError(UINT* line) const;
};

// The text of an INF file: UTF-16LE after a byte-order mark, UTF-8 after a
// UTF-8 byte-order mark, otherwise the ANSI code page given.
std::u16string decodeInfText(const std::string& bytes, UINT ansiCodePage);

InfParseResult parseInf(const std::u16string& input);

bool equalsIgnoreCase(const std::u16string& a, const std::u16string& b);

}  // namespace winsim
