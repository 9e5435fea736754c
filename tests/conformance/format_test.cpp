// wsprintfA as the product uses it (the pnputil command line) and the
// limits it has: no floating point, no '*' width, 1024 characters.
#include "conformance.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(Wsprintf, FormatsTheCommandLine) {
    char buffer[128];
    EXPECT_EQ(wsprintfA(buffer, "pnputil.exe -f -d %s", "oem12.inf"), 27);
    EXPECT_STREQ(buffer, "pnputil.exe -f -d oem12.inf");
}

TEST(Wsprintf, IntegerFieldsFlagsAndWidths) {
    char buffer[128];
    int n = wsprintfA(buffer, "%d|%u|%lu|%ld|%x|%X|%05d|%-5d|%5d|%#x|%.3d", -5, 4000000000u, 4000000000u, -1,
                      255, 255, -3, 42, 42, 255, 7);
    EXPECT_STREQ(buffer, "-5|4000000000|4000000000|-1|ff|FF|-0003|42   |   42|0xff|007");
    EXPECT_EQ(n, (int)std::strlen(buffer));
}

TEST(Wsprintf, StringsCharactersAndPercent) {
    char buffer[128];
    EXPECT_EQ(wsprintfA(buffer, "%s|%.2s|%5s|%-5s|%c|%%|100%%", "abc", "abc", "ab", "ab", 'Z'), 27);
    EXPECT_STREQ(buffer, "abc|ab|   ab|ab   |Z|%|100%");
    wsprintfA(buffer, "[%s]", (const char*)nullptr);
    EXPECT_STREQ(buffer, "[(null)]");
}

TEST(Wsprintf, UnsupportedConversionsArePrintedAsTheyStand) {
    char buffer[128];
    // No '*' width and no floating point: the character after '%' is
    // printed, and no argument is taken.
    EXPECT_EQ(wsprintfA(buffer, "%q|%*d|%f|%d", 7), 8);
    EXPECT_STREQ(buffer, "q|*d|f|7");
}

TEST(Wsprintf, WideStringsAreConvertedToTheAnsiCodePage) {
    char buffer[128];
    const WCHAR wide[] = {0x8868, 'x', 0};  // "表x"
    wsprintfA(buffer, "%ls", wide);
    EXPECT_STREQ(buffer, GetACP() == 932 ? "\x95\x5cx" : "?x");
}

TEST(Wsprintf, OutputStopsAt1024BytesWithTheTerminator) {
    const std::string text(2000, 'a');
    std::vector<char> buffer(2100, 'x');
    // The buffer is taken to hold 1024 bytes: 1023 characters and the
    // terminator, and nothing beyond. The result counts the characters
    // stored; Wine returns 1024 once the buffer is full.
    int n = wsprintfA(buffer.data(), "%s", text.c_str());
    EXPECT_WINDOWS_OR_WINE(n == 1023, n == 1024);
    EXPECT_EQ(std::strlen(buffer.data()), 1023u);
    EXPECT_EQ(buffer[1024], 'x');
    n = wsprintfA(buffer.data(), "%s", std::string(1023, 'c').c_str());
    EXPECT_WINDOWS_OR_WINE(n == 1023, n == 1024);
    EXPECT_EQ(std::strlen(buffer.data()), 1023u);
    EXPECT_EQ(wsprintfA(buffer.data(), "%s", std::string(1000, 'b').c_str()), 1000);
}

}  // namespace
