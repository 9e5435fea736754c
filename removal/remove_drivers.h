// The removal sequence: erases what earlier installations of the phone's
// drivers left behind, choosing its steps by the operating-system code,
// and tells launcher windows that the device configuration has changed.
#pragma once

#include <windows.h>

// Returns non-zero for success. The entry point does not act on the result.
int RemoveDrivers(int osCode);
// Codes below 14 (up to Server 2003).
int RemoveDriversPreVista(int osCode);
// Codes 14 and above.
int RemoveDriversVista(int osCode);

// Sets an existing "InstallFlag" to 0; creates nothing.
void ClearInstallFlag();

// Sends WM_DEVICECHANGE to every top-level window that carries the window
// property "CDROMLauncher".
void NotifyLauncherWindows();
BOOL CALLBACK LauncherWindowEnumProc(HWND window, LPARAM unused);
BOOL CALLBACK LauncherPropEnumProc(HWND window, LPCSTR name, HANDLE data);

// How long a launcher window may take to handle the device-change message
// before the removal goes on without it.
constexpr UINT kLauncherNotifyTimeoutMs = 5000;
