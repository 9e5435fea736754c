#include "plausible_errors.h"

#include <map>

namespace sweep {

namespace {

using winsim::HandleKind;

// ERROR_TIMEOUT: SendMessageTimeout's documented failure when the window
// does not answer in time.
constexpr DWORD kErrorTimeout = 1460;

PlausibleFault Fails(DWORD error) { return PlausibleFault{error, Keeps::Nothing, {}}; }
PlausibleFault Keeping(DWORD error, Keeps keeps, std::vector<HandleKind> kinds = {}) {
    return PlausibleFault{error, keeps, kinds};
}

const std::map<std::string, PlausibleFault>& Table() {
    static const std::map<std::string, PlausibleFault> table = {
        // Process start-up, modules and resources.
        {"SetDefaultDllDirectories", Fails(ERROR_INVALID_PARAMETER)},
        {"GetModuleHandleA", Fails(ERROR_MOD_NOT_FOUND)},
        {"GetModuleFileNameA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"GetProcAddress", Fails(ERROR_PROC_NOT_FOUND)},
        {"LoadLibraryExA", Fails(ERROR_MOD_NOT_FOUND)},
        {"LoadLibraryExW", Fails(ERROR_MOD_NOT_FOUND)},
        {"FreeLibrary", Keeping(ERROR_MOD_NOT_FOUND, Keeps::Library)},
        {"LoadStringA", Fails(ERROR_RESOURCE_NAME_NOT_FOUND)},
        {"GetFileVersionInfoSizeA", Fails(ERROR_RESOURCE_TYPE_NOT_FOUND)},
        {"GetFileVersionInfoA", Fails(ERROR_FILE_NOT_FOUND)},
        {"VerQueryValueA", Fails(ERROR_RESOURCE_TYPE_NOT_FOUND)},
        {"InitCommonControlsEx", Fails(ERROR_INVALID_PARAMETER)},
        {"IsWow64Process", Fails(ERROR_ACCESS_DENIED)},
        {"GetVersionExA", Fails(ERROR_INSUFFICIENT_BUFFER)},
        {"GetPrivateProfileStringA", Fails(ERROR_FILE_NOT_FOUND)},
        {"CreateMutexA", Fails(ERROR_ACCESS_DENIED)},
        {"ReleaseMutex", Fails(ERROR_NOT_OWNER)},
        {"CloseHandle", Keeping(ERROR_INVALID_HANDLE, Keeps::Handle,
                                {HandleKind::Mutex, HandleKind::Token, HandleKind::Process, HandleKind::Thread,
                                 HandleKind::File})},
        // Memory and text.
        {"LocalAlloc", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"LocalFree", Keeping(ERROR_INVALID_HANDLE, Keeps::LocalMemory)},
        {"MultiByteToWideChar", Fails(ERROR_NO_UNICODE_TRANSLATION)},
        {"WideCharToMultiByte", Fails(ERROR_INSUFFICIENT_BUFFER)},
        {"FormatMessageA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"LCIDToLocaleName", Fails(ERROR_INVALID_PARAMETER)},
        {"SHGetKnownFolderPath", Fails(ERROR_FILE_NOT_FOUND)},
        {"CoTaskMemFree", Fails(ERROR_INVALID_PARAMETER)},  // returns nothing: the block is freed all the same
        // The user's token.
        {"OpenThreadToken", Fails(ERROR_ACCESS_DENIED)},
        {"OpenProcessToken", Fails(ERROR_ACCESS_DENIED)},
        {"GetTokenInformation", Fails(ERROR_ACCESS_DENIED)},
        {"AllocateAndInitializeSid", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"EqualSid", Fails(ERROR_INVALID_PARAMETER)},
        {"FreeSid", Keeping(ERROR_INVALID_PARAMETER, Keeps::Sid)},
        // Files and folders.
        {"GetWindowsDirectoryA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"GetSystemDirectoryA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"GetFileAttributesA", Fails(ERROR_ACCESS_DENIED)},
        {"SetFileAttributesA", Fails(ERROR_ACCESS_DENIED)},
        {"FindFirstFileA", Fails(ERROR_ACCESS_DENIED)},
        {"FindNextFileA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"FindClose", Keeping(ERROR_INVALID_HANDLE, Keeps::Handle, {HandleKind::FindSearch})},
        {"DeleteFileA", Fails(ERROR_SHARING_VIOLATION)},
        {"CopyFileA", Fails(ERROR_ACCESS_DENIED)},
        {"CreateDirectoryA", Fails(ERROR_ACCESS_DENIED)},
        // The run log.
        {"CreateFileA", Fails(ERROR_SHARING_VIOLATION)},
        {"GetFileSize", Fails(ERROR_ACCESS_DENIED)},
        {"WriteFile", Fails(ERROR_WRITE_PROTECT)},
        {"MoveFileExA", Fails(ERROR_SHARING_VIOLATION)},
        // The registry (these calls return the code).
        {"RegOpenKeyExA", Fails(ERROR_ACCESS_DENIED)},
        {"RegQueryValueExA", Fails(ERROR_ACCESS_DENIED)},
        {"RegSetValueExA", Fails(ERROR_ACCESS_DENIED)},
        {"RegQueryInfoKeyA", Fails(ERROR_ACCESS_DENIED)},
        {"RegEnumKeyExA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"RegCloseKey", Keeping(ERROR_INVALID_HANDLE, Keeps::Handle, {HandleKind::RegistryKey})},
        // Plug and Play devices.
        {"SetupDiGetClassDevsA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"SetupDiEnumDeviceInfo", Fails(ERROR_INVALID_PARAMETER)},
        {"SetupDiGetDeviceRegistryPropertyA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"SetupDiCallClassInstaller", Fails(ERROR_ACCESS_DENIED)},
        {"SetupDiGetDeviceInstallParamsA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"SetupDiDestroyDeviceInfoList",
         Keeping(ERROR_INVALID_HANDLE, Keeps::Handle, {HandleKind::DeviceInfoSet})},
        // Services.
        {"OpenSCManagerA", Fails(ERROR_ACCESS_DENIED)},
        {"OpenServiceA", Fails(ERROR_ACCESS_DENIED)},
        {"DeleteService", Fails(ERROR_ACCESS_DENIED)},
        {"CloseServiceHandle", Keeping(ERROR_INVALID_HANDLE, Keeps::Handle,
                                       {HandleKind::ServiceManager, HandleKind::Service})},
        // INF files and driver packages.
        {"SetupGetInfFileListA", Fails(ERROR_ACCESS_DENIED)},
        {"SetupOpenInfFileA", Fails(ERROR_SHARING_VIOLATION)},
        {"SetupFindFirstLineA", Fails(ERROR_INVALID_PARAMETER)},
        {"SetupGetStringFieldA", Fails(ERROR_INVALID_PARAMETER)},
        {"SetupCloseInfFile", Keeping(ERROR_INVALID_HANDLE, Keeps::Handle, {HandleKind::InfFile})},
        {"SetupCopyOEMInfA", Fails(ERROR_ACCESS_DENIED)},
        // Processes.
        {"CreateProcessA", Fails(ERROR_FILE_NOT_FOUND)},
        {"WaitForSingleObject", Fails(ERROR_ACCESS_DENIED)},
        {"GetExitCodeProcess", Fails(ERROR_ACCESS_DENIED)},
        // Windows of the session.
        {"EnumWindows", Fails(ERROR_NOT_ENOUGH_MEMORY)},
        {"EnumPropsA", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"SendMessageTimeoutA", Fails(kErrorTimeout)},
        {"SendMessageA", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"FindWindowA", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"IsIconic", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"ShowWindow", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"BringWindowToTop", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"SetForegroundWindow", Fails(ERROR_INVALID_WINDOW_HANDLE)},
        {"MessageBoxA", Fails(ERROR_NOT_ENOUGH_MEMORY)},
    };
    return table;
}

}  // namespace

const PlausibleFault* FaultFor(const std::string& api) {
    const auto& table = Table();
    auto it = table.find(api);
    return it == table.end() ? nullptr : &it->second;
}

}  // namespace sweep
