#include "app/app_context.h"

#include <commctrl.h>

#include "app/messages.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
#include "sysaccess/version_info.h"
#include "sysaccess/proc_address.h"

AppContext* g_pAppContext = nullptr;

namespace {

// Common controls 4.70 (Internet Explorer 3) introduced InitCommonControlsEx.
constexpr DWORD kComCtlVersionWithEx = 0x00040046;

void InitCommonControlsOf(HMODULE comctl32) {
    if (GetFileVersionMS("COMCTL32.DLL") < kComCtlVersionWithEx) {
        InitCommonControls();
        return;
    }
    typedef BOOL(WINAPI * InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);
    auto initEx = LookUpProc<InitCommonControlsExFn>(comctl32, "InitCommonControlsEx");
    if (!initEx) return;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_INTERNET_CLASSES;
    initEx(&controls);
}

}  // namespace

int InitAppContext(HINSTANCE instance, AppContext* context, UINT titleId, UINT classId, UINT mutexId) {
    g_pAppContext = context;
    *context = AppContext{};
    context->hInstance = instance;

    GetModuleFolder(context->szModuleDir, sizeof(context->szModuleDir));
    LoadResString(titleId, context->szAppTitle, sizeof(context->szAppTitle));
    LoadResString(classId, context->szWndClass, sizeof(context->szWndClass));
    LoadResString(mutexId, context->szMutexName, sizeof(context->szMutexName));

    context->hComCtl32 = LoadLibraryA("COMCTL32.DLL");
    if (context->hComCtl32) InitCommonControlsOf(context->hComCtl32);

    context->bAlreadyRunning = 0;
    // A preview only looks whether a copy runs. Holding the mutex, it would
    // make a copy started meanwhile take it for a running copy, and in
    // install mode that copy would bring the preview's box forward and end.
    if (PreviewMode()) {
        HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, context->szMutexName);
        const DWORD openError = GetLastError();
        // A mutex it may not open exists all the same.
        context->bAlreadyRunning = running || openError == ERROR_ACCESS_DENIED ? 1 : 0;
        if (running) CloseHandle(running);
        return 0;
    }
    context->hMutex = CreateMutexA(nullptr, TRUE, context->szMutexName);
    const DWORD error = GetLastError();
    if (!context->hMutex) return 0;
    if (error == ERROR_ALREADY_EXISTS) {
        context->bAlreadyRunning = 1;
        return 0;
    }
    return 1;
}

int GetModuleFolder(char* buffer, int size) {
    const DWORD length = GetModuleFileNameA(g_pAppContext->hInstance, buffer, static_cast<DWORD>(size));
    // A path that filled the whole buffer was cut: Windows then returns the
    // buffer size (and XP leaves it unterminated). Such a folder is unusable.
    if (length == 0 || length >= static_cast<DWORD>(size)) {
        buffer[0] = '\0';
        return 0;
    }
    for (int i = static_cast<int>(length) - 1; i >= 0; --i) {
        if (buffer[i] == '\\' && GetByteType(buffer, i) == SingleByte) {
            buffer[i + 1] = '\0';
            return 1;
        }
    }
    buffer[0] = '\0';
    return 0;
}

DWORD GetFileVersionMS(const char* file) { return QueryFileVersionMS(file); }

int HandleRunningInstance(int action) {
    if (!g_pAppContext->bAlreadyRunning) return 0;
    HWND window = FindWindowA(g_pAppContext->szWndClass, nullptr);
    if (!window) window = FindWindowA(nullptr, g_pAppContext->szAppTitle);
    if (!window) return 1;
    if (action == InstanceActivate) {
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        else
            BringWindowToTop(window);
        SetForegroundWindow(window);
    } else if (action == InstanceClose) {
        SendMessageA(window, WM_CLOSE, 0, 0);
    }
    return 1;
}

void ReleaseAppContext() {
    if (g_pAppContext->hMutex) {
        // An instance that found the mutex existing never owned it, so its
        // release fails; closing the handle is what matters there.
        ReleaseMutex(g_pAppContext->hMutex);
        CloseHandle(g_pAppContext->hMutex);
        g_pAppContext->hMutex = nullptr;
    }
    if (g_pAppContext->hComCtl32) {
        FreeLibrary(g_pAppContext->hComCtl32);
        g_pAppContext->hComCtl32 = nullptr;
    }
}
