#include "app/command_line.h"

#include <windows.h>

namespace {

// The words compared are at most kWordSize bytes long; a longer argument
// is no switch of this kind.
constexpr int kWordSize = 8;

bool IsSwitchWord(const char* word, int length, const char* name) {
    const int nameLength = lstrlenA(name);
    if (length != nameLength + 1 || length > kWordSize || (word[0] != '/' && word[0] != '-')) return false;
    for (int i = 0; i < nameLength; ++i) {
        char c = word[i + 1];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return true;
}

}  // namespace

// A double-byte character never has a blank or a double quote as its trail
// byte, so the split can go byte by byte.
bool HasWholeArgument(const char* commandLine, const char* name) {
    if (!commandLine) return false;
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) return false;
        char word[kWordSize] = {};
        int length = 0;
        bool quoted = false;
        for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
            if (*p == '"') {
                quoted = !quoted;
                continue;
            }
            if (length < static_cast<int>(sizeof(word))) word[length] = *p;
            ++length;
        }
        if (IsSwitchWord(word, length, name)) return true;
    }
}

bool HasQuietArgument(const char* commandLine) { return HasWholeArgument(commandLine, "quiet"); }

void ScanCommandLine(const char* commandLine, CommandLineSwitches& switches) {
    switches.quiet = HasQuietArgument(commandLine);
    switches.list = HasWholeArgument(commandLine, "list");
    if (!commandLine) return;
    for (const char* p = commandLine; *p; ++p) {
        if (*p != '/' && *p != '-') continue;
        // The byte after the introducer is examined again by the loop, so a
        // second introducer ("//R", "-/R") still takes the letter after it.
        switch (p[1]) {
        case 'I':
        case 'i': switches.runMode = RunModeInstall; break;
        case 'R':
        case 'r': switches.runMode = RunModeRemove; break;
        case 'V':
        case 'v': switches.flagV = 0; break;
        default: break;
        }
    }
}
