// The run mode chosen by the switches of the command line.
#pragma once

enum RunMode { RunModeDefault = 0, RunModeRemove = 1, RunModeInstall = 2 };

struct CommandLineSwitches {
    int runMode = RunModeDefault;
    int flagV = 1;
    bool quiet = false;  // a whole argument /quiet or -quiet
    bool list = false;   // a whole argument /list or -list: a preview
};

// Scans the command line byte by byte: a '/' or '-' anywhere (also inside a
// word or a quoted path) introduces a switch whose letter is the next byte,
// in either case: I (install), R (remove), V. The last of I and R wins.
void ScanCommandLine(const char* commandLine, CommandLineSwitches& switches);

// Whether an argument of the command line, taken as Windows splits it
// (blanks separate arguments outside double quotes; the quotes go), is
// exactly '/' or '-' followed by `name` (lower case) in any case. A path
// or word that merely contains it does not count.
bool HasWholeArgument(const char* commandLine, const char* name);
bool HasQuietArgument(const char* commandLine);
