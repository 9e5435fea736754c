// winsim's <setupapi.h>: device information sets, the class installer,
// INF files and driver-store staging.
#pragma once

#include "windows.h"

typedef PVOID HDEVINFO;
typedef PVOID HINF;
typedef UINT DI_FUNCTION;

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

static_assert(sizeof(SP_DEVINFO_DATA) == 32, "SP_DEVINFO_DATA has its 64-bit Windows layout");

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_SERVICE 0x00000004
#define SPDRP_CLASS 0x00000007
#define SPDRP_CLASSGUID 0x00000008
#define SPDRP_DRIVER 0x00000009
#define SPDRP_FRIENDLYNAME 0x0000000C

#define DIF_REMOVE 0x00000005

// Flags of SP_DEVINSTALL_PARAMS that the system sets: the change takes
// effect only after Windows restarts (DI_NEEDRESTART) or the machine is
// switched off and on again (DI_NEEDREBOOT).
#define DI_NEEDRESTART 0x00000080
#define DI_NEEDREBOOT 0x00000100

typedef PVOID HSPFILEQ;
typedef UINT(CALLBACK* PSP_FILE_CALLBACK_A)(PVOID Context, UINT Notification, UINT_PTR Param1, UINT_PTR Param2);

typedef struct _SP_DEVINSTALL_PARAMS_A {
    DWORD cbSize;
    DWORD Flags;
    DWORD FlagsEx;
    HWND hwndParent;
    PSP_FILE_CALLBACK_A InstallMsgHandler;
    PVOID InstallMsgHandlerContext;
    HSPFILEQ FileQueue;
    ULONG_PTR ClassInstallReserved;
    DWORD Reserved;
    CHAR DriverPath[MAX_PATH];
} SP_DEVINSTALL_PARAMS_A, *PSP_DEVINSTALL_PARAMS_A;

// 296 bytes on 32-bit Windows (the header packs it to 1 byte there).
static_assert(sizeof(SP_DEVINSTALL_PARAMS_A) == 320, "SP_DEVINSTALL_PARAMS_A has its 64-bit Windows layout");

#define INF_STYLE_NONE 0x00000000
#define INF_STYLE_OLDNT 0x00000001
#define INF_STYLE_WIN4 0x00000002

#define SPOST_NONE 0
#define SPOST_PATH 1
#define SPOST_URL 2

#define SP_COPY_DELETESOURCE 0x0000001
#define SP_COPY_REPLACEONLY 0x0000002
#define SP_COPY_NOOVERWRITE 0x0000008
#define SP_COPY_OEMINF_CATALOG_ONLY 0x0040000

#define MAX_INF_STRING_LENGTH 4096
#define SUOI_FORCEDELETE 0x00000001

typedef struct _INFCONTEXT {
    PVOID Inf;
    PVOID CurrentInf;
    UINT Section;
    UINT Line;
} INFCONTEXT, *PINFCONTEXT;

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, LPCSTR Enumerator, HWND hwndParent, DWORD Flags);
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize);
BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        LPSTR DeviceInstanceId, DWORD DeviceInstanceIdSize, PDWORD RequiredSize);
BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);
BOOL WINAPI SetupDiGetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                           PSP_DEVINSTALL_PARAMS_A DeviceInstallParams);
// For tests that create phantom devices.
HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent);
BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, LPCSTR DeviceName, const GUID* ClassGuid,
                                     LPCSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              DWORD Property, const BYTE* PropertyBuffer, DWORD PropertyBufferSize);
BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Flags,
                                      PVOID CompareProc, PVOID CompareContext, PSP_DEVINFO_DATA DupDeviceInfoData);
#define DICD_GENERATE_ID 0x00000001

HINF WINAPI SetupOpenInfFileA(LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle, PUINT ErrorLine);
void WINAPI SetupCloseInfFile(HINF InfHandle);
BOOL WINAPI SetupFindFirstLineA(HINF InfHandle, LPCSTR Section, LPCSTR Key, PINFCONTEXT Context);
BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut);
BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT Context, DWORD FieldIndex, LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize);
DWORD WINAPI SetupGetFieldCount(PINFCONTEXT Context);
BOOL WINAPI SetupGetInfFileListA(LPCSTR DirectoryPath, DWORD InfStyle, LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize);
BOOL WINAPI SetupCopyOEMInfA(LPCSTR SourceInfFileName, LPCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                             DWORD CopyStyle, LPSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                             PDWORD RequiredSize, LPSTR* DestinationInfFileNameComponent);
// For tests that remove what they published.
BOOL WINAPI SetupUninstallOEMInfA(LPCSTR InfFileName, DWORD Flags, PVOID Reserved);
