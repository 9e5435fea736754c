// Version records: GetFileVersionInfoSizeA, GetFileVersionInfoA and
// VerQueryValueA for the modules winsim knows (modules.cpp) and the
// program itself.
//
// The block is laid out as Windows lays out a 32-bit version resource: a
// VS_VERSIONINFO node (length, value length, type, the key
// L"VS_VERSION_INFO", padding to a DWORD) whose value is the
// VS_FIXEDFILEINFO. Windows sizes the buffer at twice the resource plus
// four bytes, room it uses for converted strings, and marks the end of the
// copied resource with "FE2X".
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "codepage.h"
#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace {

const char16_t kRootKey[] = u"VS_VERSION_INFO";
constexpr size_t kHeaderSize = 3 * sizeof(WORD);
constexpr size_t kValueOffset = (kHeaderSize + sizeof(kRootKey) + 3) & ~size_t(3);
constexpr size_t kResourceSize = kValueOffset + sizeof(VS_FIXEDFILEINFO);

struct VersionRecord {
    DWORD versionMS;
    DWORD versionLS;
    DWORD fileType;  // VFT_APP or VFT_DLL
};

void putWord(std::vector<BYTE>& block, size_t offset, WORD value) { std::memcpy(&block[offset], &value, sizeof value); }

// The whole buffer GetFileVersionInfoA fills.
std::vector<BYTE> versionBlock(const VersionRecord& record) {
    std::vector<BYTE> block(kResourceSize * 2 + 4, 0);
    putWord(block, 0, static_cast<WORD>(kResourceSize));
    putWord(block, 2, static_cast<WORD>(sizeof(VS_FIXEDFILEINFO)));
    putWord(block, 4, 0);  // binary data
    std::memcpy(&block[kHeaderSize], kRootKey, sizeof(kRootKey));
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = record.versionMS;
    fixed.dwFileVersionLS = record.versionLS;
    fixed.dwProductVersionMS = record.versionMS;
    fixed.dwProductVersionLS = record.versionLS;
    fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = record.fileType;
    std::memcpy(&block[kValueOffset], &fixed, sizeof fixed);
    std::memcpy(&block[kResourceSize], "FE2X", 4);
    return block;
}

bool hasFolder(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

// What a file that is not a module holds: a folder cannot be opened as a
// file (ERROR_ACCESS_DENIED); any other file here is not an executable
// image, so it has no resources at all (ERROR_RESOURCE_DATA_NOT_FOUND).
DWORD plainFileError(winsim::Machine& m, const winsim::FileSystem::Resolved& r) {
    if (r.isDirectory) return ERROR_ACCESS_DENIED;
    auto content = m.files.read(r.canonical);
    if (content && content->compare(0, 2, "MZ") == 0) {
        winsim::notImplemented("the version record of \"" + r.canonical +
                               "\", an executable image that is not a modelled module");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    return ERROR_RESOURCE_DATA_NOT_FOUND;
}

// Finds the version record of a file as GetFileVersionInfo does (a bare
// name through the loader's search); returns 0 and the record, or the
// error the calls fail with.
DWORD locate(winsim::Machine& m, const std::string& name, VersionRecord* record) {
    if (m.modules.isProgram(name)) {
        *record = VersionRecord{m.modules.programVersionMS, m.modules.programVersionLS, VFT_APP};
        return 0;
    }
    if (winsim::DllInfo* dll = m.modules.findDll(name)) {
        // An image without a version resource.
        if (!dll->hasVersion) return ERROR_RESOURCE_TYPE_NOT_FOUND;
        *record = VersionRecord{dll->versionMS, dll->versionLS, VFT_DLL};
        return 0;
    }
    if (hasFolder(name)) {
        const winsim::FileSystem::Resolved r = m.files.resolve(name);
        if (r.syntaxError) return r.syntaxError;
        if (r.exists) return plainFileError(m, r);
        return r.driveKnown && r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    // A bare name: the program's folder, the system folders, the current
    // directory.
    const std::string& program = m.modules.programPath;
    const std::string folders[] = {program.substr(0, program.rfind('\\')), m.system.windowsDir + "\\system32",
                                   m.system.windowsDir, m.files.currentDirectory};
    for (const std::string& folder : folders) {
        const winsim::FileSystem::Resolved r = m.files.resolve(folder + "\\" + name);
        if (!r.syntaxError && r.exists) return plainFileError(m, r);
    }
    return ERROR_FILE_NOT_FOUND;
}

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    winsim::Machine& m = winsim::current();
    if (lpdwHandle) *lpdwHandle = 0;
    if (DWORD e = m.faults.check("GetFileVersionInfoSizeA")) {
        m.lastError = e;
        return 0;
    }
    if (!lptstrFilename || !*lptstrFilename) {
        winsim::notImplemented("GetFileVersionInfoSizeA without a file name");
        return 0;
    }
    VersionRecord record;
    if (DWORD error = locate(m, winsim::acpToUtf8(lptstrFilename), &record)) {
        if (error != ERROR_CALL_NOT_IMPLEMENTED) m.lastError = error;
        return 0;
    }
    // Windows clears the last error when it found the record.
    m.lastError = ERROR_SUCCESS;
    return static_cast<DWORD>(versionBlock(record).size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetFileVersionInfoA")) {
        m.lastError = e;
        return FALSE;
    }
    (void)dwHandle;  // ignored, as the documentation says
    if (!lptstrFilename || !*lptstrFilename || !lpData) {
        winsim::notImplemented("GetFileVersionInfoA without a file name or a buffer");
        return FALSE;
    }
    VersionRecord record;
    if (DWORD error = locate(m, winsim::acpToUtf8(lptstrFilename), &record)) {
        if (error != ERROR_CALL_NOT_IMPLEMENTED) m.lastError = error;
        return FALSE;
    }
    // A buffer smaller than GetFileVersionInfoSizeA said gets the record
    // cut to its size.
    const std::vector<BYTE> block = versionBlock(record);
    std::memcpy(lpData, block.data(), dwLen < block.size() ? dwLen : block.size());
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("VerQueryValueA")) {
        m.lastError = e;
        return FALSE;
    }
    // The root ("\\", and also an empty or null name) is the VS_FIXEDFILEINFO.
    const bool root = !lpSubBlock || !*lpSubBlock || std::strcmp(lpSubBlock, "\\") == 0;
    if (!root) {
        winsim::notImplemented(std::string("VerQueryValueA of \"") + lpSubBlock +
                               "\" (winsim's version records hold the fixed part only)");
        return FALSE;
    }
    const BYTE* block = static_cast<const BYTE*>(pBlock);
    if (!block || std::memcmp(block + kHeaderSize, kRootKey, sizeof(kRootKey)) != 0) {
        winsim::notImplemented("VerQueryValueA on a block that GetFileVersionInfoA did not fill");
        return FALSE;
    }
    WORD valueLength;
    std::memcpy(&valueLength, block + 2, sizeof valueLength);
    *lplpBuffer = const_cast<BYTE*>(block + kValueOffset);
    *puLen = valueLength;
    return TRUE;
}
