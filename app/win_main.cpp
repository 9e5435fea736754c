// The program's entry point: one fixed sequence on one thread, no window of
// its own. Exit code 0 whatever happened, unless /quiet asks for the
// installer codes deployment tools read (app/run_outcome.h). With /list the
// same sequence previews the run and changes nothing (sysaccess/preview.h).
#include <windows.h>

#include "app/app_context.h"
#include "app/command_line.h"
#include "app/dll_search.h"
#include "app/environment.h"
#include "app/messages.h"
#include "app/product_settings.h"
#include "app/run_outcome.h"
#include "app/wow64_relaunch.h"
#include "install/install_sequence.h"
#include "removal/remove_drivers.h"
#include "res/resource.h"
#include "sysaccess/preview.h"
#include "sysaccess/reg_key.h"
#include "sysaccess/run_log.h"

AppContext g_appContext;

namespace {

// A user who may not administer the machine: the install flag is cleared
// where the product key opens (it never does for such a user on Windows,
// whose HKLM grants users read access only) and the user is told why
// nothing happens.
void RefuseNonAdministrator(CReg& productKey) {
    NoteNotAdministrator();
    if (productKey.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, kProductKeyAccess)) {
        DWORD old = 0;
        const bool oldRead = productKey.QueryDwordById(IDS_INSTALL_FLAG, &old) != 0;
        SetInstallFlag(productKey, oldRead, old, 0);
    }
    ShowInfoMessage(nullptr, IDS_MSG_NOT_ADMINISTRATOR);
}

// A preview runs beside a running copy and leaves it alone: it neither
// brings it forward nor asks it to close. Only its log tells of it.
bool PreviewBesideRunningCopy() {
    if (!PreviewMode()) return false;
    if (g_appContext.bAlreadyRunning) LogEvent("another copy runs");
    return true;
}

void RunInstallMode(int osCode, int runMode) {
    if (!PreviewBesideRunningCopy()) {
        // Unattended, a second copy neither brings the first forward nor waits.
        if (QuietMode() && g_appContext.bAlreadyRunning) {
            NoteAnotherCopyRunning();
            LogEvent("another copy runs");
            return;
        }
        if (HandleRunningInstance(InstanceActivate)) return;
    }
    RemoveDrivers(osCode);
    if (!RunInstallSequence(osCode, runMode == RunModeInstall ? 1 : 0))
        ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
}

void RunRemoveMode(int osCode) {
    // The other instance's window is asked to close; this one carries on.
    if (!PreviewBesideRunningCopy()) HandleRunningInstance(InstanceClose);
    RemoveDrivers(osCode);
}

// The end of a preview: how many items it found, and where the log that
// lists them is. Quiet, only the log says so.
void ReportPreview() {
    char logPath[MAX_PATH] = {};
    if (!RunLogPath(logPath)) logPath[0] = '\0';
    ShowInfoMessage(nullptr, IDS_MSG_PREVIEW_DONE, PreviewItemCount(), logPath);
}

// A device whose driver could not stop goes when Windows restarts; the
// phone must not be connected again before that.
void AskForRestartWhenNeeded() {
    if (RestartNeeded()) ShowInfoMessage(nullptr, IDS_MSG_RESTART_NEEDED);
}

int EndRun() {
    const int exitCode = RunExitCode();
    FinishRunLog(exitCode);
    ReleaseAppContext();
    EndPreview();
    return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR lpCmdLine, int /*nCmdShow*/) {
    RestrictDllSearchToSystemFolder();
    CReg productKey;
    // The switches first: a preview takes no single-instance mutex.
    CommandLineSwitches switches;
    ScanCommandLine(lpCmdLine, switches);
    StartPreview(switches.list);
    InitAppContext(hInstance, &g_appContext, IDS_PRODUCT_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
    LoadProductSettings();
    ResetRunOutcome(switches.quiet);
    const bool wow64 = RunningUnderWow64();
    StartRunLog(lpCmdLine, sizeof(void*) == 4 || wow64);

    // The hand-over changes nothing, so a preview hands over as a run does
    // and the 64-bit build previews. One that cannot hand over has found
    // what the run would meet.
    if (wow64) {
        if (!RunNativeBuild(lpCmdLine) && PreviewMode()) ReportPreview();
        return EndRun();
    }

    g_appContext.nFlagV = switches.flagV;

    const int osCode = GetOsCode();
    // Windows 9x and NT 4 have no such check worth making: every user is
    // entitled there.
    if (osCode > OS_NT_OTHER && !IsAdministrator()) {
        RefuseNonAdministrator(productKey);
        return EndRun();
    }
    if (switches.runMode == RunModeRemove)
        RunRemoveMode(osCode);
    else
        RunInstallMode(osCode, switches.runMode);
    if (PreviewMode())
        ReportPreview();
    else
        AskForRestartWhenNeeded();
    return EndRun();
}
