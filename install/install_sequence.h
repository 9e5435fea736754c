// The install sequence: stages the phone's driver INF files, deploys its
// device-metadata packages and records an explicit install.
#pragma once

// Returns 1 when the driver INF files were staged, 0 otherwise.
int RunInstallSequence(int osCode, int explicitInstall);
