#include "app/run_outcome.h"

#include "sysaccess/preview.h"

namespace {

struct RunOutcome {
    bool quiet = false;
    bool failed = false;
    bool restartNeeded = false;
    bool anotherCopyRunning = false;
    bool notAdministrator = false;
    bool handedOver = false;
    DWORD handedOverCode = 0;
};

RunOutcome g_outcome;

}  // namespace

void ResetRunOutcome(bool quiet) {
    g_outcome = RunOutcome{};
    g_outcome.quiet = quiet;
}

bool QuietMode() { return g_outcome.quiet; }
void NoteRunFailed() { g_outcome.failed = true; }
void NoteRestartNeeded() { g_outcome.restartNeeded = true; }
bool RestartNeeded() { return g_outcome.restartNeeded; }
void NoteAnotherCopyRunning() { g_outcome.anotherCopyRunning = true; }
void NoteNotAdministrator() { g_outcome.notAdministrator = true; }

void NoteHandedOverExitCode(DWORD code) {
    g_outcome.handedOver = true;
    g_outcome.handedOverCode = code;
}

void NoteHandOverOutcomeUnknown() {
    if (g_outcome.quiet) g_outcome.failed = true;
}

int RunExitCode() {
    if (!g_outcome.quiet) return kExitDone;
    // The 64-bit build did the run and chose the code; a failure to start
    // or wait for it is this process's own.
    if (g_outcome.handedOver && !g_outcome.failed) return static_cast<int>(g_outcome.handedOverCode);
    if (g_outcome.notAdministrator) return kExitNotAdministrator;
    // A preview that went through changed nothing: nothing failed, nothing
    // waits for a restart.
    if (PreviewMode()) return kExitDone;
    if (g_outcome.anotherCopyRunning) return kExitAlreadyRunning;
    if (g_outcome.failed) return kExitFailed;
    if (g_outcome.restartNeeded) return kExitRestartRequired;
    return kExitDone;
}
