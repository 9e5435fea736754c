#include "sysaccess/version_info.h"

#include "sysaccess/path_text.h"
#include "sysaccess/proc_address.h"

namespace {

typedef DWORD(WINAPI* GetFileVersionInfoSizeFn)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* GetFileVersionInfoFn)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VerQueryValueFn)(LPCVOID, LPCSTR, LPVOID*, PUINT);

const char kVersionDll[] = "\\version.dll";

// The block is allocated with a margin beyond the size reported: the ANSI
// functions of some VERSION.DLL releases convert the record in place.
constexpr DWORD kBlockMargin = 100;

HMODULE LoadSystemVersionDll() {
    char path[kPathBufferSize] = {};
    const UINT length = GetSystemDirectoryA(path, kPathBufferSize);
    if (length == 0 || length >= static_cast<UINT>(kPathBufferSize) ||
        !AppendStringLimited(path, kVersionDll, kPathMaxChars))
        return nullptr;
    return LoadLibraryA(path);
}

DWORD ReadVersionMS(HMODULE version, const char* file) {
    auto getSize = LookUpProc<GetFileVersionInfoSizeFn>(version, "GetFileVersionInfoSizeA");
    auto getInfo = LookUpProc<GetFileVersionInfoFn>(version, "GetFileVersionInfoA");
    auto query = LookUpProc<VerQueryValueFn>(version, "VerQueryValueA");
    if (!getSize || !getInfo || !query) return 0;

    DWORD handle = 0;
    const DWORD size = getSize(file, &handle);
    if (size == 0) return 0;
    void* block = LocalAlloc(LPTR, size + kBlockMargin);
    if (!block) return 0;
    DWORD result = 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (getInfo(file, 0, size, block) && query(block, "\\", reinterpret_cast<LPVOID*>(&fixed), &fixedSize) &&
        fixed && fixedSize >= sizeof(VS_FIXEDFILEINFO))
        result = fixed->dwFileVersionMS;
    LocalFree(block);
    return result;
}

}  // namespace

DWORD QueryFileVersionMS(const char* file) {
    HMODULE version = LoadSystemVersionDll();
    if (!version) return 0;
    const DWORD result = ReadVersionMS(version, file);
    FreeLibrary(version);
    return result;
}
