// Which Windows runs, and whether the user may administer it.
#pragma once

// Operating-system codes. They are compared only as ordered numbers against
// thresholds (above 10, below 14, 14 and above, above 14, equal to 12).
enum OsCode {
    OS_WIN95 = 0,
    OS_WIN98 = 1,
    OS_WINME = 2,
    OS_NT_OTHER = 10,  // NT 4.0 and older, and NT versions the table does not list
    OS_WIN2000 = 11,
    OS_WINXP = 12,
    OS_WIN2003 = 13,
    OS_VISTA = 14,
    OS_WIN7 = 15,
    OS_WIN2008 = 16,
    OS_WIN2008R2 = 17,
    OS_NEWER = 18,  // NT major version above 6
};

int GetOsCode();

// 1 when the current token (the thread's impersonation token if any, else
// the process token) lists the Administrators group, whatever the group's
// attributes; 0 otherwise and on every failure.
int IsAdministrator();
