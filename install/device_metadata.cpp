#include "install/device_metadata.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "app/messages.h"
#include "install/media_folders.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
#include "sysaccess/proc_address.h"
#include "sysaccess/run_log.h"

namespace {

// Both functions exist from Windows Vista on only, so they are looked up
// at the moment of use rather than imported.
typedef HRESULT(WINAPI* SHGetKnownFolderPathFn)(REFKNOWNFOLDERID, DWORD, HANDLE, LPWSTR*);
typedef int(WINAPI* LCIDToLocaleNameFn)(LCID, LPWSTR, int, DWORD);

const WCHAR kShell32[] = {'s', 'h', 'e', 'l', 'l', '3', '2', '.', 'd', 'l', 'l', 0};
const WCHAR kKernel32[] = {'K', 'e', 'r', 'n', 'e', 'l', '3', '2', '.', 'd', 'l', 'l', 0};
constexpr int kLocaleNameSize = 1024;

size_t WideLength(const WCHAR* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Copies a wide string into a buffer of kWidePathSize units; false when it
// does not fit.
bool CopyWide(WCHAR* out, const WCHAR* text) {
    const size_t length = WideLength(text);
    if (length >= static_cast<size_t>(kWidePathSize)) return false;
    for (size_t i = 0; i <= length; ++i) out[i] = text[i];
    return true;
}

// Converts to the ANSI code page into a path buffer; a conversion that
// yields nothing, or more than a path buffer holds, is a failure.
bool ToAnsiPath(const WCHAR* wide, char* out) {
    const int length = static_cast<int>(WideLength(wide));
    if (length == 0) return false;
    const int written = WideCharToMultiByte(CP_ACP, 0, wide, length, out, kPathMaxChars, nullptr, nullptr);
    if (written <= 0) return false;
    out[written] = '\0';
    return true;
}

// Creates the store's locale folder (this last level only).
bool CreateLocaleFolder(const char* store) {
    if (PreviewMode()) return LogWouldCreateFolder(store);
    if (!CreateDirectoryA(store, nullptr)) return false;
    LogEvent("folder created", store);
    return true;
}

// A preview lists the copy, judged against the store as the removal would
// leave it; a missing package or one still in the store stops the copying.
bool LogWouldCopyPackage(const char* from, const char* to) {
    if (!IsFile(from)) {
        LogExpectedFailure(from, "not on the media: the copying stops");
        return false;
    }
    if (GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES && !WouldBeGone(to)) {
        LogExpectedFailure(to, "already in the store: the copying stops");
        return false;
    }
    LogWouldDo("metadata package copied", to);
    return true;
}

}  // namespace

const UINT kMetadataPackageIds[3] = {IDS_METADATA_FIRST, IDS_METADATA_FIRST + 1, IDS_METADATA_LAST};

int QueryKnownFolderPathW(WCHAR* out) {
    HMODULE shell32 = LoadLibraryW(kShell32);
    if (!shell32) return 0;
    int result = 0;
    if (auto getPath = LookUpProc<SHGetKnownFolderPathFn>(shell32, "SHGetKnownFolderPath")) {
        LPWSTR path = nullptr;
        if (SUCCEEDED(getPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path))) {
            result = CopyWide(out, path) ? 1 : 0;
            CoTaskMemFree(path);
        }
    }
    FreeLibrary(shell32);
    return result;
}

int QueryLocaleNameW(LCID locale, WCHAR* out) {
    WCHAR name[kLocaleNameSize] = {};
    HMODULE kernel32 = LoadLibraryW(kKernel32);
    if (!kernel32) return 0;
    int count = 0;
    if (auto toName = LookUpProc<LCIDToLocaleNameFn>(kernel32, "LCIDToLocaleName")) {
        count = toName(locale, name, kLocaleNameSize, 0);
        if (count != 0 && !CopyWide(out, name)) count = 0;
    }
    FreeLibrary(kernel32);
    return count;
}

int GetDeviceMetadataStoreFolder(char* out) {
    WCHAR path[kWidePathSize] = {};
    if (!QueryKnownFolderPathW(path)) return 0;
    return ToAnsiPath(path, out) ? 1 : 0;
}

int GetLocaleNameOf(LCID locale, char* out) {
    WCHAR name[kWidePathSize] = {};
    const int count = QueryLocaleNameW(locale, name);
    if (count == 0) return 0;
    return ToAnsiPath(name, out) ? count : 0;
}

int GetMetadataStoreDir(char* out) {
    char folder[kPathBufferSize] = {};
    char locale[kPathBufferSize] = {};
    if (!GetDeviceMetadataStoreFolder(folder)) return 0;
    if (!GetLocaleNameOf(kMetadataLocale, locale)) return 0;
    if (!AddBackslash(folder, kPathBufferSize)) return 0;
    if (!AppendStringLimited(folder, locale, kPathMaxChars)) return 0;
    lstrcpyA(out, folder);
    return 1;
}

int GetMetadataSourceDir(char* out) { return GetMediaFolder(IDS_FOLDER_METADATA, out); }

int DeployDeviceMetadata() {
    char store[kPathBufferSize] = {};
    if (!GetMetadataStoreDir(store)) return 0;
    if (!IsDirectory(store) && !CreateLocaleFolder(store)) return 0;
    if (!AddBackslash(store, kPathBufferSize)) return 0;

    char source[kPathBufferSize] = {};
    if (!GetMetadataSourceDir(source) || !AddBackslash(source, kPathBufferSize)) return 0;

    for (UINT id : kMetadataPackageIds) {
        char name[kPathBufferSize] = {};
        if (LoadResString(id, name, sizeof(name)) == 0 || name[0] == '\0') return 0;
        char from[kPathBufferSize] = {};
        char to[kPathBufferSize] = {};
        if (!CopyStringLimited(from, source, kPathMaxChars) || !AppendStringLimited(from, name, kPathMaxChars) ||
            !CopyStringLimited(to, store, kPathMaxChars) || !AppendStringLimited(to, name, kPathMaxChars))
            return 0;
        if (PreviewMode()) {
            if (!LogWouldCopyPackage(from, to)) return 0;
            continue;
        }
        // A package already in the store is not overwritten.
        if (!CopyFileA(from, to, TRUE)) return 0;
        LogEvent("metadata package copied", to);
    }
    return 1;
}
