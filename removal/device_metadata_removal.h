// Device-metadata removal (Windows 7 and later): deletes the phone's three
// packages from the store's ja-JP folder and checks that none is left.
#pragma once

// 1 when none of the three packages exists as a file in the store folder
// afterwards; 0 when one is left or the store folder cannot be built.
int RemoveDeviceMetadata();
