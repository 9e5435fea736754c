// winsim's <knownfolders.h>: the known-folder IDs the product uses.
#pragma once

#include "windows.h"

// {5CE4A5E9-E4EB-479D-B89F-130C02886155}
static const KNOWNFOLDERID FOLDERID_DeviceMetadataStore = {
    0x5CE4A5E9, 0xE4EB, 0x479D, {0xB8, 0x9F, 0x13, 0x0C, 0x02, 0x88, 0x61, 0x55}};
