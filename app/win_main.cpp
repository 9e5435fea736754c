// The program's entry point: one fixed sequence on one thread, no window of
// its own. Exit code 0 whatever happened, unless /quiet asks for the
// installer codes deployment tools read (app/run_outcome.h).
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
        if (productKey.SetDwordById(IDS_INSTALL_FLAG, 0)) LogInstallFlag(oldRead, old, 0);
    }
    ShowInfoMessage(nullptr, IDS_MSG_NOT_ADMINISTRATOR);
}

void RunInstallMode(int osCode, int runMode) {
    // Unattended, a second copy neither brings the first forward nor waits.
    if (QuietMode() && g_appContext.bAlreadyRunning) {
        NoteAnotherCopyRunning();
        LogEvent("another copy runs");
        return;
    }
    if (HandleRunningInstance(InstanceActivate)) return;
    RemoveDrivers(osCode);
    if (!RunInstallSequence(osCode, runMode == RunModeInstall ? 1 : 0))
        ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
}

void RunRemoveMode(int osCode) {
    // The other instance's window is asked to close; this one carries on.
    HandleRunningInstance(InstanceClose);
    RemoveDrivers(osCode);
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
    return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR lpCmdLine, int /*nCmdShow*/) {
    RestrictDllSearchToSystemFolder();
    CReg productKey;
    InitAppContext(hInstance, &g_appContext, IDS_PRODUCT_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
    LoadProductSettings();
    CommandLineSwitches switches;
    ScanCommandLine(lpCmdLine, switches);
    ResetRunOutcome(switches.quiet);
    const bool wow64 = RunningUnderWow64();
    StartRunLog(lpCmdLine, sizeof(void*) == 4 || wow64);

    if (wow64) {
        RunNativeBuild(lpCmdLine);
        return EndRun();
    }

    g_appContext.nFlagV = switches.flagV;

    const int osCode = GetOsCode();
    // Windows 9x and NT 4 have no such check worth making: every user is
    // entitled there.
    if (osCode > OS_NT_OTHER && !IsAdministrator()) {
        RefuseNonAdministrator(productKey);
    } else if (switches.runMode == RunModeRemove) {
        RunRemoveMode(osCode);
        AskForRestartWhenNeeded();
    } else {
        RunInstallMode(osCode, switches.runMode);
        AskForRestartWhenNeeded();
    }
    return EndRun();
}
