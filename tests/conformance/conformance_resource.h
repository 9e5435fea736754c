// Resource IDs of the conformance test program.
#pragma once

#define IDS_CONF_ASCII 1
#define IDS_CONF_EMPTY 2
#define IDS_CONF_JAPANESE 17
// Block 2 (IDs 32-47) exists in the neutral language with ID 32 only and in
// Japanese with ID 33 only.
#define IDS_CONF_BLOCK_NEUTRAL 32
#define IDS_CONF_BLOCK_JAPANESE_ONLY 33
