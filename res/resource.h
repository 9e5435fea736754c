// Resource IDs shared by the resource script and the C++ sources.
#pragma once

// Product identity
#define IDS_PRODUCT_TITLE 100
#define IDS_WINDOW_CLASS 101
#define IDS_MUTEX_NAME 102
#define IDS_LAUNCHER_PROPERTY 104

// Hardware IDs of the phone (without the bus prefix)
#define IDS_HWID_COMPOSITE 200
#define IDS_HWID_MI03 201
#define IDS_HWID_MI00 202

// Product key, install flag, INF marker section
#define IDS_PRODUCT_KEY 220
#define IDS_INSTALL_FLAG 221
#define IDS_INF_MODEL_SECTION 230
#define IDS_MODEM_NAME 240
#define IDS_MODEM_FULL_NAME 242
#define IDS_LEGACY_PREFIX 260

// Settings file
#define IDS_SETTINGS_FILE 300
#define IDS_SETTINGS_SECTION 301
#define IDS_SETTINGS_KEY_ICON 302
#define IDS_SETTINGS_KEY_NAME 303
#define IDS_SETTINGS_KEY_NAME2 304
#define IDS_DEFAULT_SERIES 310
#define IDS_DEFAULT_CATEGORY 311
#define IDS_ANIMATION_STEP1 315
#define IDS_ANIMATION_STEP2 316
#define IDS_ANIMATION_STEP3 317
#define IDS_PLACEHOLDER_SERIES 320
#define IDS_PLACEHOLDER_CATEGORY 321

// Driver services
#define IDS_SERVICE_BUS 400
#define IDS_SERVICE_MDM 401
#define IDS_SERVICE_MDFL 402
#define IDS_SERVICE_OBEX 403

// Driver INF files staged into the driver store
#define IDS_INF_BUS 600
#define IDS_INF_MDM 601
#define IDS_INF_OBX 602

// Driver files
#define IDS_SYS_FIRST 900
#define IDS_SYS_LAST 907

// Device-metadata packages
#define IDS_METADATA_FIRST 1000
#define IDS_METADATA_LAST 1002

// Registry paths
#define IDS_ENUM_USB_001 5300
#define IDS_ENUM_USB_002 5301
#define IDS_ENUM_USB_CURRENT 5302
#define IDS_CLASS_001 5320

// Path fragments
#define IDS_PATH_INF 6000
#define IDS_PATH_DRIVERS 6002
#define IDS_PATH_LASTGOOD 6003
#define IDS_FOLDER_DRIVERS 6004
#define IDS_PATH_INF_OTHER 6006
#define IDS_FOLDER_METADATA 6007

// Messages
#define IDS_MSG_INSTALL_FAILED 17100
#define IDS_MSG_NOT_ADMINISTRATOR 17300
#define IDS_MSG_RESTART_NEEDED 17400
#define IDS_MSG_PREVIEW_DONE 17500

// The version the version record and the run log state
#define PRODUCT_VERSION_BINARY 1,0,0,2
#define PRODUCT_VERSION_TEXT "1.0.0.2"

// Other resources
#define IDI_APP 1
