// The application context: one process-wide record of what every part of
// the program may need about the running program, and the single-instance
// guard.
#pragma once

#include <windows.h>

struct AppContext {
    HINSTANCE hInstance;
    char szModuleDir[MAX_PATH + 1];  // program folder with its trailing backslash; empty if unknown
    char szAppTitle[65];             // product title, string 100
    char szWndClass[17];             // window class of a running instance (first 16 characters of string 101)
    char szMutexName[17];            // single-instance mutex (first 16 characters of string 102)
    HANDLE hMutex;                   // null when the mutex could not be created
    int bAlreadyRunning;             // 1 when the mutex existed before this process created it
    HMODULE hComCtl32;               // null when the common-controls library did not load
    char szIconPath[MAX_PATH + 1];   // icon file named by the settings file
    char szSeries[33];               // series name
    char szCategory[33];             // category name
    int nFlagV;                      // 1 at start, 0 after the switch /V
};

extern AppContext* g_pAppContext;

enum InstanceAction { InstanceActivate = 1, InstanceClose = 2 };

// Fills the context (zeroing it first), initialises the common controls and
// creates the single-instance mutex. Returns 1 when this process created the
// mutex, 0 when it existed already or could not be created. A preview
// creates no mutex: it only notes whether one exists.
int InitAppContext(HINSTANCE instance, AppContext* context, UINT titleId, UINT classId, UINT mutexId);

// The folder of the program file, with its trailing backslash.
int GetModuleFolder(char* buffer, int size);

// The high half of a file's fixed version (major << 16 | minor), 0 when the
// file has no version record.
DWORD GetFileVersionMS(const char* file);

// When another instance was running at start, brings its window forward
// (InstanceActivate) or asks it to close (InstanceClose) and returns 1.
int HandleRunningInstance(int action);

// Releases the mutex and frees the common-controls library.
void ReleaseAppContext();
