#include "app/command_line.h"

void ScanCommandLine(const char* commandLine, CommandLineSwitches& switches) {
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
