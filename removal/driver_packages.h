// Driver package deletion (Windows Vista and later): every INF of the
// system INF folder that belongs to the phone is deleted from the driver
// store by the system's pnputil.exe, one run at a time.
#pragma once

// 1 when the INF list was obtained and walked; 0 otherwise.
int DeleteDriverPackages(int osCode);

// Runs "pnputil.exe -f -d <infName>" and waits for it to end. Returns 1.
int RunPnpUtilDelete(const char* infName);
