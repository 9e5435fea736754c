// What a run came to, and the exit code that tells a deployment tool.
//
// Without /quiet the program always ends with exit code 0: the CD launcher
// and other callers rely on it. With /quiet the code follows the installer
// conventions deployment tools read by default.
#pragma once

#include <windows.h>

// ERROR_SUCCESS_REBOOT_REQUIRED, ERROR_INSTALL_FAILURE and
// ERROR_INSTALL_ALREADY_RUNNING, as Windows Installer reports them.
constexpr int kExitDone = 0;
constexpr int kExitRestartRequired = 3010;
constexpr int kExitFailed = 1603;
constexpr int kExitAlreadyRunning = 1618;
constexpr int kExitNotAdministrator = 5;

// Starts a new run's record: nothing failed, nothing waits for a restart.
void ResetRunOutcome(bool quiet);
bool QuietMode();

// A step failed or the drivers could not be staged: everything the user
// would be shown an error box for.
void NoteRunFailed();
// Windows must restart to finish a removal (a device whose driver could
// not stop).
void NoteRestartNeeded();
bool RestartNeeded();
void NoteAnotherCopyRunning();
void NoteNotAdministrator();
// The exit code of the 64-bit build this process handed the run to.
void NoteHandedOverExitCode(DWORD code);

// The 64-bit build ran, but its exit code could not be read: without
// /quiet nothing changes (no box is shown for it); a quiet run cannot
// report success it does not know of and ends with 1603.
void NoteHandOverOutcomeUnknown();

// The code the process ends with: 0 without /quiet.
int RunExitCode();
