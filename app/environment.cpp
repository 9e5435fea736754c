#include "app/environment.h"

#include <windows.h>

int GetOsCode() {
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        // Systems before NT 4.0 SP6 and Windows 9x know only the plain
        // structure; the extended fields then stay zero.
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    }

    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        if (version.dwMinorVersion == 10) return OS_WIN98;
        if (version.dwMinorVersion == 90) return OS_WINME;
        return OS_WIN95;
    }
    if (version.dwMajorVersion < 5) return OS_NT_OTHER;
    if (version.dwMajorVersion == 5) {
        switch (version.dwMinorVersion) {
        case 0: return OS_WIN2000;
        case 1: return OS_WINXP;
        case 2: return OS_WIN2003;
        default: return OS_NT_OTHER;
        }
    }
    if (version.dwMajorVersion == 6) {
        const bool workstation = version.wProductType == VER_NT_WORKSTATION;
        switch (version.dwMinorVersion) {
        case 0: return workstation ? OS_VISTA : OS_WIN2008;
        case 1: return workstation ? OS_WIN7 : OS_WIN2008R2;
        default: return OS_NT_OTHER;
        }
    }
    return OS_NEWER;
}

namespace {

// Opens the token that access checks use: the thread's when it impersonates,
// the process's otherwise.
HANDLE OpenEffectiveToken() {
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token)) return token;
    if (GetLastError() != ERROR_NO_TOKEN) return nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return token;
    return nullptr;
}

// Reads the token's group list into a LocalAlloc block the caller frees.
TOKEN_GROUPS* QueryTokenGroups(HANDLE token) {
    DWORD size = 0;
    if (GetTokenInformation(token, TokenGroups, nullptr, 0, &size)) return nullptr;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return nullptr;
    auto* groups = static_cast<TOKEN_GROUPS*>(LocalAlloc(LPTR, size));
    if (!groups) return nullptr;
    if (!GetTokenInformation(token, TokenGroups, groups, size, &size)) {
        LocalFree(groups);
        return nullptr;
    }
    return groups;
}

int ListsAdministrators(const TOKEN_GROUPS* groups) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &administrators))
        return 0;
    int found = 0;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
        if (EqualSid(groups->Groups[i].Sid, administrators)) found = 1;
    }
    FreeSid(administrators);
    return found;
}

}  // namespace

int IsAdministrator() {
    HANDLE token = OpenEffectiveToken();
    if (!token) return 0;
    int result = 0;
    if (TOKEN_GROUPS* groups = QueryTokenGroups(token)) {
        result = ListsAdministrators(groups);
        LocalFree(groups);
    }
    CloseHandle(token);
    return result;
}
