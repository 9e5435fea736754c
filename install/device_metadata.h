// Device-metadata packages: where the system's store keeps the phone's
// packages (the store's subfolder of the Japanese locale) and where the
// install media holds them.
#pragma once

#include <windows.h>

// The LCID whose locale subfolder of the store receives the packages.
constexpr LCID kMetadataLocale = 1041;  // ja-JP

// String IDs of the three package file names, in the order both the
// deployment and the removal take them.
extern const UINT kMetadataPackageIds[3];

// Copies the three packages into the store's ja-JP folder, creating that
// folder if needed. 1 when all three were copied.
int DeployDeviceMetadata();

// The store folder (known folder DeviceMetadataStore, "\", locale name),
// without a trailing backslash. 0 when the system does not provide it.
int GetMetadataStoreDir(char* out);
// The folder "metadata" beside the program's folder. 0 with an empty output.
int GetMetadataSourceDir(char* out);

// The ANSI path of the known folder DeviceMetadataStore.
int GetDeviceMetadataStoreFolder(char* out);
// The ANSI locale name of an LCID; returns the count the system reported
// (terminator included) or 0.
int GetLocaleNameOf(LCID locale, char* out);
// The UTF-16 path of the known folder, through shell32's
// SHGetKnownFolderPath looked up at run time.
int QueryKnownFolderPathW(WCHAR* out);
// The UTF-16 locale name, through Kernel32's LCIDToLocaleName looked up at
// run time; returns its count or 0.
int QueryLocaleNameW(LCID locale, WCHAR* out);

// Size in UTF-16 units of the wide buffers handed to the two queries.
constexpr int kWidePathSize = MAX_PATH + 1;
