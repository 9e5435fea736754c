// Resource IDs of the conformance test program.
#pragma once

#define IDS_CONF_ASCII 1
#define IDS_CONF_EMPTY 2
#define IDS_CONF_JAPANESE 17
