// The 32-bit build on 64-bit Windows. Such a process cannot remove devices
// (the class installer refuses with ERROR_IN_WOW64), sees System32\drivers
// redirected to SysWOW64 and finds no pnputil.exe there: it would do half
// the removal and report errors. It hands the whole run to the 64-bit build
// shipped beside it instead.
#pragma once

// The 64-bit build, in the program's own folder (so that it finds the same
// settings file and install media).
constexpr const char kNativeBuildName[] = "210QX_USB_x64.exe";

// True when this is a 32-bit process on 64-bit Windows (IsWow64Process,
// looked up at run time: Windows 2000 and XP before SP2 lack it).
bool RunningUnderWow64();

// Runs the 64-bit build with the same command line, waits for it and takes
// its exit code as the run's; with
// no 64-bit build beside the program, shows the install-failed message and
// changes nothing. Releases the single-instance mutex first, so that the
// 64-bit build does not take this process for a running instance. True
// when the 64-bit build ran.
bool RunNativeBuild(const char* commandLine);
