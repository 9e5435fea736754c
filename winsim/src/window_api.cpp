// USER32 calls on top-level windows of other programs: finding them,
// bringing them forward, messages and properties.
//
// An invalid window handle fails with ERROR_INVALID_WINDOW_HANDLE, as
// Windows' handle validation reports it. A call that would wait for a hung
// window for ever is recorded as a failure of the test, since the program
// would hang there on Windows.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codepage.h"
#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace {

winsim::TopLevelWindow* validWindow(winsim::Machine& m, HWND hWnd) {
    winsim::TopLevelWindow* w = m.ui.window(hWnd);
    if (!w) m.lastError = ERROR_INVALID_WINDOW_HANDLE;
    return w;
}

std::string hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

void blocksForEver(const char* call, const winsim::TopLevelWindow& w) {
    winsim::notImplemented(std::string(call) + " to the hung window " + hex(w.hwnd) + " (\"" + w.title +
                           "\") blocks for ever");
}

// FindWindow compares class names and titles without regard to case.
bool sameName(const std::string& aUtf8, const std::string& bUtf8) {
    return winsim::upperName(aUtf8) == winsim::upperName(bUtf8);
}

}  // namespace

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("FindWindowA")) {
        m.lastError = e;
        return nullptr;
    }
    if (lpClassName && IS_INTRESOURCE(lpClassName)) {
        winsim::notImplemented("FindWindowA with a class atom");
        return nullptr;
    }
    const std::string className = lpClassName ? winsim::acpToUtf8(lpClassName) : std::string();
    const std::string title = lpWindowName ? winsim::acpToUtf8(lpWindowName) : std::string();
    for (const winsim::TopLevelWindow& w : m.ui.windows) {
        if (lpClassName && !sameName(w.className, className)) continue;
        if (lpWindowName && !sameName(w.title, title)) continue;
        return w.hwnd;
    }
    // Windows leaves the last error alone when nothing matches.
    return nullptr;
}

BOOL WINAPI IsIconic(HWND hWnd) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("IsIconic")) {
        m.lastError = e;
        return FALSE;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    return w && w->iconic ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("ShowWindow")) {
        m.lastError = e;
        return FALSE;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    if (!w) return FALSE;
    if (nCmdShow < SW_HIDE || nCmdShow > SW_FORCEMINIMIZE || nCmdShow == SW_SHOWDEFAULT) {
        // SW_SHOWDEFAULT depends on how the other program was started.
        winsim::notImplemented("ShowWindow with nCmdShow " + std::to_string(nCmdShow));
        return FALSE;
    }
    // ShowWindow on another thread's window waits until that thread has
    // handled it (ShowWindowAsync exists to avoid exactly this).
    if (w->hung) {
        blocksForEver("ShowWindow", *w);
        return FALSE;
    }
    const BOOL wasVisible = w->visible ? TRUE : FALSE;
    w->actions.push_back("ShowWindow " + std::to_string(nCmdShow));
    switch (nCmdShow) {
    case SW_HIDE: w->visible = false; break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE: w->visible = true; w->iconic = true; break;
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE: w->visible = true; w->iconic = false; break;
    case SW_SHOW:
    case SW_SHOWNA: w->visible = true; break;
    }
    // The return value tells whether the window was visible before.
    return wasVisible;
}

BOOL WINAPI BringWindowToTop(HWND hWnd) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("BringWindowToTop")) {
        m.lastError = e;
        return FALSE;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    if (!w) return FALSE;
    w->actions.push_back("BringWindowToTop");
    m.ui.moveToTop(hWnd);
    return TRUE;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetForegroundWindow")) {
        m.lastError = e;
        return FALSE;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    if (!w) return FALSE;
    w->actions.push_back("SetForegroundWindow");
    m.ui.moveToTop(hWnd);
    m.ui.foreground = hWnd;
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SendMessageA")) {
        m.lastError = e;
        return 0;
    }
    if (hWnd == HWND_BROADCAST) {
        winsim::notImplemented("SendMessageA to HWND_BROADCAST");
        return 0;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    if (!w) return 0;
    if (w->hung) {
        blocksForEver("SendMessageA", *w);
        return 0;
    }
    w->received.push_back(winsim::WindowMessage{Msg, wParam, lParam, true});
    auto reply = w->replies.find(Msg);
    return reply == w->replies.end() ? 0 : reply->second;
}

LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                                   UINT uTimeout, PDWORD_PTR lpdwResult) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SendMessageTimeoutA")) {
        m.lastError = e;
        return 0;
    }
    if (hWnd == HWND_BROADCAST) {
        winsim::notImplemented("SendMessageTimeoutA to HWND_BROADCAST");
        return 0;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    if (!w) return 0;
    if (w->hung) {
        // A time-out of 0 is no time-out at all: the call waits as
        // SendMessage does, SMTO_ABORTIFHUNG or not.
        if (uTimeout == 0) {
            blocksForEver("SendMessageTimeoutA with a time-out of 0", *w);
            return 0;
        }
        // SMTO_ABORTIFHUNG gives up at once; otherwise the time-out elapses
        // first (winsim does not wait it out). Either way the call failed
        // with ERROR_TIMEOUT and the message was not handled.
        m.lastError = ERROR_TIMEOUT;
        return 0;
    }
    w->received.push_back(winsim::WindowMessage{Msg, wParam, lParam, true});
    auto reply = w->replies.find(Msg);
    if (lpdwResult) *lpdwResult = reply == w->replies.end() ? 0 : static_cast<DWORD_PTR>(reply->second);
    // SMTO_BLOCK and SMTO_NORMAL only say whether the caller handles other
    // messages while it waits: a window that answers makes no difference.
    (void)fuFlags;
    return 1;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("PostMessageA")) {
        m.lastError = e;
        return FALSE;
    }
    if (!hWnd) {
        // A null window posts to the calling thread's own queue.
        winsim::notImplemented("PostMessageA to the thread's queue (hWnd NULL)");
        return FALSE;
    }
    if (hWnd == HWND_BROADCAST) {
        winsim::notImplemented("PostMessageA to HWND_BROADCAST");
        return FALSE;
    }
    winsim::TopLevelWindow* w = validWindow(m, hWnd);
    if (!w) return FALSE;
    // Posting only queues the message: a hung window takes it too.
    w->received.push_back(winsim::WindowMessage{Msg, wParam, lParam, false});
    return TRUE;
}

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("EnumWindows")) {
        m.lastError = e;
        return FALSE;
    }
    if (!lpEnumFunc) {
        winsim::notImplemented("EnumWindows without a callback");
        return FALSE;
    }
    // Windows takes a snapshot of the Z order first and skips the windows
    // destroyed while the callback runs.
    std::vector<HWND> snapshot;
    for (const winsim::TopLevelWindow& w : m.ui.windows) snapshot.push_back(w.hwnd);
    for (HWND hwnd : snapshot) {
        if (!m.ui.window(hwnd)) continue;
        // A callback that returns FALSE ends the enumeration, and
        // EnumWindows returns FALSE with the last error the callback left.
        if (!lpEnumFunc(hwnd, lParam)) return FALSE;
    }
    return TRUE;
}

int WINAPI EnumPropsA(HWND hWnd, PROPENUMPROCA lpEnumFunc) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("EnumPropsA")) {
        m.lastError = e;
        return -1;
    }
    // An invalid window has no properties to enumerate: -1, and (as Wine
    // does; the documentation says nothing) the last error stays alone.
    winsim::TopLevelWindow* w = m.ui.window(hWnd);
    if (!w || w->properties.empty()) return -1;
    if (!lpEnumFunc) {
        winsim::notImplemented("EnumPropsA without a callback");
        return -1;
    }
    // The callback may remove the property it is given: work on a copy.
    const std::vector<winsim::WindowProperty> properties = w->properties;
    int result = -1;
    for (const winsim::WindowProperty& property : properties) {
        // String properties arrive as a string in the ANSI code page; a
        // property named by its atom arrives as the atom in place of the
        // pointer (from 0xC000 on a defensive case, see TopLevelWindow).
        const std::string ansi =
            property.atom ? std::string() : winsim::utf8ToAcp(m.ui.propertyAtomName(property.name));
        LPCSTR name = property.atom ? reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(property.atom)) : ansi.c_str();
        result = lpEnumFunc(hWnd, name, property.data);
        if (!result) break;
    }
    return result;
}
