// SHELL32 SHGetKnownFolderPath and OLE32 CoTaskMemFree.
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "codepage.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80004001);  // E_NOTIMPL
constexpr DWORD kFlagDontVerify = 0x00004000;                          // KF_FLAG_DONT_VERIFY
constexpr DWORD kFlagCreate = 0x00008000;                              // KF_FLAG_CREATE

// An injected fault is an HRESULT when it looks like one, else a Win32
// error code that the call reports in HRESULT form.
HRESULT asHresult(DWORD error) {
    if (error & 0x80000000u) return static_cast<HRESULT>(error);
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

HRESULT notModelled(const std::string& what) {
    winsim::notImplemented("SHGetKnownFolderPath " + what);
    return kNotImplemented;
}

}  // namespace

HRESULT WINAPI SHGetKnownFolderPath(REFKNOWNFOLDERID rfid, DWORD dwFlags, HANDLE hToken, LPWSTR* ppszPath) {
    Machine& m = winsim::current();
    if (!ppszPath) return notModelled("without an output pointer");
    // The output is NULL whenever the call fails; CoTaskMemFree accepts it.
    *ppszPath = nullptr;
    if (DWORD e = m.faults.check("SHGetKnownFolderPath")) return asHresult(e);
    if (hToken) return notModelled("for another user's token");
    if (dwFlags & ~(kFlagDontVerify | kFlagCreate)) return notModelled("with flags " + std::to_string(dwFlags));

    winsim::KnownFolder* folder = m.knownFolders.find(rfid);
    if (!folder) return notModelled("of a folder winsim does not model");
    // A KNOWNFOLDERID that this system does not define gives E_INVALIDARG.
    if (!m.knownFolders.presentOnSystem(*folder)) return E_INVALIDARG;
    // A folder that is not there (the device-metadata store of a system
    // that never retrieved metadata) is created under KF_FLAG_CREATE, with
    // the folders above it; the error of a failed creation is the result.
    // Without KF_FLAG_DONT_VERIFY it must exist otherwise: a missing one
    // is reported as a missing file and no path is returned.
    if ((dwFlags & kFlagCreate) && !m.files.isDirectory(folder->path)) {
        std::vector<std::string> missing;
        for (std::string path = folder->path; !m.files.isDirectory(path);) {
            missing.push_back(path);
            // Up to the folder below the drive's root, which ends the walk.
            const size_t slash = path.rfind('\\');
            if (slash == std::string::npos || slash <= 2) break;
            path.resize(slash);
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it)
            if (DWORD error = m.files.tryCreateDirectory(*it)) return asHresult(error);
    }
    if (!(dwFlags & (kFlagDontVerify | kFlagCreate)) && !m.files.isDirectory(folder->path))
        return asHresult(ERROR_FILE_NOT_FOUND);

    const auto wide = winsim::toUtf16(folder->path, CP_UTF8);
    if (!wide) return notModelled("of a path that is not valid UTF-8");
    const size_t bytes = (wide->size() + 1) * sizeof(WCHAR);
    auto* path = static_cast<WCHAR*>(m.knownFolders.taskAllocate(bytes));
    if (!path) return asHresult(ERROR_NOT_ENOUGH_MEMORY);
    std::memcpy(path, wide->c_str(), bytes);
    *ppszPath = path;
    return S_OK;
}

void WINAPI CoTaskMemFree(LPVOID pv) {
    Machine& m = winsim::current();
    // Nothing can make the call fail; the check only records it.
    m.faults.check("CoTaskMemFree");
    if (!pv) return;
    if (!m.knownFolders.taskFree(pv)) winsim::notImplemented("CoTaskMemFree of memory that COM did not allocate");
}
