// The path and text helpers of sysaccess/path_text.cpp and the media-folder
// builder, under code pages 1252 and 932. In code page 932 a double-byte
// character's second byte can be '\\' (表 is 0x95 0x5C) or '.', so every
// helper must know where characters begin; a helper that looks at a lone
// byte would cut a path inside a character or take a trail byte for a
// separator.
//
// Each helper runs on buffers of exactly the size it is promised (so that
// AddressSanitizer sees any write or read past them) and its result is
// compared with the same operation done on whole characters, found here by
// a scan of our own.
//
// Input: one byte for the code page, then sizes and strings taken with
// FuzzedDataProvider.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_machine.h"
#include "install/media_folders.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"

namespace {

// The characters of an ANSI text as byte offsets of their first bytes; a
// lead byte at the very end counts as a character of its own, as the
// system's CharNextA takes it.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size();) {
        starts.push_back(i);
        i += (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return starts;
}

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::string WholePrefix(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = 0;
    for (size_t start : CharacterStarts(text)) {
        if (start > limit) break;
        end = start;
    }
    return text.substr(0, end);
}

// The single-byte character before the end, or '\0' when the text is empty
// or ends in a double-byte character.
char LastSingleByteCharacter(const std::string& text) {
    const std::vector<size_t> starts = CharacterStarts(text);
    if (starts.empty() || starts.back() != text.size() - 1) return '\0';
    return text.back();
}

// A heap buffer of exactly `size` bytes holding `text` (which must fit) and
// filled with 'X' behind its terminator.
std::unique_ptr<char[]> Buffer(const std::string& text, size_t size) {
    std::unique_ptr<char[]> buffer(new char[size]);
    std::memset(buffer.get(), 'X', size);
    std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
    return buffer;
}

void CheckByteTypes(const std::string& text) {
    std::unique_ptr<char[]> buffer = Buffer(text, text.size() + 1);
    std::vector<int> expected(text.size(), SingleByte);
    for (size_t start : CharacterStarts(text)) {
        if (start + 1 < text.size() && IsDBCSLeadByte(static_cast<BYTE>(text[start]))) {
            expected[start] = LeadByte;
            expected[start + 1] = TrailByte;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(text[start]))) {
            expected[start] = LeadByte;  // a lead byte before the terminator
        }
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const int type = GetByteType(buffer.get(), static_cast<int>(i));
        FUZZ_CHECK(type == expected[i], "byte %zu is of type %d, expected %d", i, type, expected[i]);
    }
}

void CheckCopy(const std::string& source, int max) {
    std::unique_ptr<char[]> src = Buffer(source, source.size() + 1);
    std::unique_ptr<char[]> dest(new char[max + 1]);
    int length = -1;
    const int whole = CopyStringLimited(dest.get(), src.get(), max, &length);
    const std::string expected = WholePrefix(source, static_cast<size_t>(max));
    FUZZ_CHECK(dest.get() == expected, "copy with max %d gave [%s], expected [%s]", max, dest.get(), expected.c_str());
    FUZZ_CHECK(length == static_cast<int>(expected.size()), "copy reported length %d", length);
    FUZZ_CHECK(whole == (expected == source ? 1 : 0), "copy reported %d", whole);
}

void CheckAppend(const std::string& start, const std::string& source, int max) {
    const size_t size = (start.size() > static_cast<size_t>(max) ? start.size() : static_cast<size_t>(max)) + 1;
    std::unique_ptr<char[]> dest = Buffer(start, size);
    std::unique_ptr<char[]> src = Buffer(source, source.size() + 1);
    int length = -1;
    const int whole = AppendStringLimited(dest.get(), src.get(), max, &length);
    std::string expected = start;
    int expectedWhole = 0;
    if (start.size() <= static_cast<size_t>(max)) {
        const std::string part = WholePrefix(source, static_cast<size_t>(max) - start.size());
        expected += part;
        expectedWhole = part == source ? 1 : 0;
    }
    FUZZ_CHECK(dest.get() == expected, "append with max %d gave [%s], expected [%s]", max, dest.get(),
               expected.c_str());
    FUZZ_CHECK(length == static_cast<int>(expected.size()), "append reported length %d", length);
    FUZZ_CHECK(whole == expectedWhole, "append reported %d", whole);
}

void CheckAddBackslash(const std::string& text, int size) {
    if (text.size() + 1 > static_cast<size_t>(size)) return;
    std::unique_ptr<char[]> buffer = Buffer(text, static_cast<size_t>(size));
    const int added = AddBackslash(buffer.get(), size);
    const bool room = text.size() + 2 <= static_cast<size_t>(size);
    const bool expectAdded = !text.empty() && room && LastSingleByteCharacter(text) != '\\';
    const std::string expected = expectAdded ? text + "\\" : text;
    FUZZ_CHECK(added == (expectAdded ? 1 : 0) && buffer.get() == expected,
               "AddBackslash(%d) on [%s] gave %d [%s]", size, text.c_str(), added, buffer.get());
}

void CheckRemoveBackslash(const std::string& text) {
    std::unique_ptr<char[]> buffer = Buffer(text, text.size() + 1);
    const int result = RemoveBackslash(buffer.get());
    const bool endsInBackslash = text.size() >= 2 && LastSingleByteCharacter(text) == '\\';
    const std::string rest = endsInBackslash ? text.substr(0, text.size() - 1) : text;
    // A drive root keeps its backslash, and so does a folder name that ends
    // in a double-byte character.
    const char before = endsInBackslash ? LastSingleByteCharacter(rest) : '\0';
    const bool remove = endsInBackslash && before != '\0' && before != ':';
    const std::string expected = remove ? rest : text;
    FUZZ_CHECK(result == (endsInBackslash ? 1 : 0) && buffer.get() == expected,
               "RemoveBackslash on [%s] gave %d [%s]", text.c_str(), result, buffer.get());
}

void CheckReplaceExtension(const std::string& text, const std::string& suffix, int max) {
    if (text.size() > static_cast<size_t>(max)) return;
    std::unique_ptr<char[]> buffer = Buffer(text, static_cast<size_t>(max) + 1);
    std::unique_ptr<char[]> extension = Buffer(suffix, suffix.size() + 1);
    const int result = ReplaceExtension(buffer.get(), extension.get(), max);
    if (text.empty()) {
        FUZZ_CHECK(result == 0 && buffer.get()[0] == '\0', "ReplaceExtension on an empty text gave %d", result);
        return;
    }
    std::string stem = text;
    const std::vector<size_t> starts = CharacterStarts(text);
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        const bool single = *it + 1 == text.size() || !IsDBCSLeadByte(static_cast<BYTE>(text[*it]));
        if (single && text[*it] == '.') {
            stem = text.substr(0, *it);
            break;
        }
    }
    const std::string expected = stem + WholePrefix(suffix, static_cast<size_t>(max) - stem.size());
    FUZZ_CHECK(result == 1 && buffer.get() == expected, "ReplaceExtension(%d) on [%s] with [%s] gave %d [%s]", max,
               text.c_str(), suffix.c_str(), result, buffer.get());
}

// The media folder of a program at "C:\<folders>\<file>": the program's
// folder with its last name replaced by "Drivers", done here on UTF-8,
// where no byte of a character can be taken for a backslash.
void CheckMediaFolder(CodePage codePage, const std::string& ansiTail) {
    FuzzMachine machine(codePage);
    winsim::Machine& m = machine.m;
    const std::string ansiPath = "C:\\" + ansiTail;
    // Paths the code page cannot decode are no program's path.
    int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansiPath.c_str(), -1, nullptr, 0);
    if (wide == 0) return;
    m.modules.programPath = winsim::acpToUtf8(ansiPath);
    machine.InitContext();

    const std::string& utf8 = m.modules.programPath;
    const std::string folder = utf8.substr(0, utf8.rfind('\\'));
    const std::string parent = folder.substr(0, folder.rfind('\\') == std::string::npos ? 0 : folder.rfind('\\'));
    const std::string expectedUtf8 = (folder.find('\\') == std::string::npos ? folder : parent) + "\\Drivers";
    const std::string expected = winsim::utf8ToAcp(expectedUtf8);
    const bool folderKnown = winsim::utf8ToAcp(utf8).size() <= static_cast<size_t>(kPathMaxChars);
    const bool fits = folderKnown && expected.size() <= static_cast<size_t>(kPathMaxChars);

    std::unique_ptr<char[]> out(new char[kPathBufferSize]);
    std::memset(out.get(), 'X', kPathBufferSize);
    const int result = GetMediaFolder(IDS_FOLDER_DRIVERS, out.get());
    if (fits) {
        FUZZ_CHECK(result == 1 && out.get() == expected, "media folder of [%s] is %d [%s], expected [%s]",
                   ansiPath.c_str(), result, out.get(), expected.c_str());
    } else {
        FUZZ_CHECK(result == 0 && out.get()[0] == '\0', "media folder of [%s] (too long) is %d [%s]",
                   ansiPath.c_str(), result, out.get());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const CodePage codePage = CodePageOf(input.ConsumeIntegral<uint8_t>());
    const int max = input.ConsumeIntegralInRange<int>(0, 300);
    const int bufferSize = input.ConsumeIntegralInRange<int>(1, 300);
    const std::string first = input.ConsumeRandomLengthString(400);
    const std::string second = input.ConsumeRandomLengthString(400);
    const std::string path = input.ConsumeRemainingBytesAsString();
    // Texts end at their first NUL, as C strings do.
    const std::string a = first.c_str();
    const std::string b = second.c_str();

    {
        FuzzMachine machine(codePage);
        CheckByteTypes(a);
        CheckCopy(a, max);
        CheckAppend(a, b, max);
        CheckAddBackslash(a, bufferSize);
        CheckRemoveBackslash(a);
        CheckReplaceExtension(a, b, max);
    }
    CheckMediaFolder(codePage, path.c_str());
    return 0;
}
