// SetupCopyOEMInfA and SetupUninstallOEMInfA: staging an INF file into the
// driver store, which publishes it in the Windows INF folder as oem<N>.inf
// with its .PNF, and removing it again.
//
// Windows reads and checks the INF as a Windows 4 style file first, then
// needs administrator rights to write into the INF folder. From Windows
// Vista on it copies the whole package (the INF, its catalog and every file
// its [SourceDisksFiles] sections list) into the driver store, so a package
// file missing beside the INF fails the staging. winsim models the 64-bit
// system that Machine describes, so it reads the .amd64 and .NTamd64
// decorations.
#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "codepage.h"
#include "inf_parser.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

std::string utf8(const std::u16string& text) { return winsim::fromUtf16(text, CP_UTF8); }

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The catalog that [Version] names for this platform, most decorated
// entry first: CatalogFile.NTamd64, CatalogFile.NT, CatalogFile.
std::string catalogName(const winsim::InfFile& file) {
    for (const char16_t* key : {u"CatalogFile.NTamd64", u"CatalogFile.NT", u"CatalogFile"}) {
        const winsim::InfLine* line = file.findLine(u"Version", key, nullptr);
        if (line && !line->fields.empty()) return utf8(file.substitute(line->fields[0], nullptr));
    }
    return std::string();
}

// The files that the package lists in [SourceDisksFiles], where
// [SourceDisksNames] puts them relative to the INF's folder, each with its
// path inside the package. Returns 0, ERROR_FILE_NOT_FOUND for a file that
// is not there, or ERROR_CALL_NOT_IMPLEMENTED for a layout winsim does not
// model.
DWORD findPackageFiles(Machine& m, const winsim::InfFile& file, const std::string& folder,
                       std::vector<std::pair<std::string, std::string>>* packageFiles) {
    for (const char16_t* section : {u"SourceDisksFiles.amd64", u"SourceDisksFiles"}) {
        const int index = file.findSection(section);
        if (index < 0) continue;
        for (const winsim::InfLine& line : file.sections[index].lines) {
            if (!line.hasKey || line.fields.empty()) continue;
            const std::u16string diskId = file.substitute(line.fields[0], nullptr);
            const winsim::InfLine* disk = file.findLine(u"SourceDisksNames.amd64", diskId, nullptr);
            if (!disk) disk = file.findLine(u"SourceDisksNames", diskId, nullptr);
            if (!disk) {
                winsim::notImplemented("SetupCopyOEMInfA of a package file on a disk that SourceDisksNames lacks");
                return ERROR_CALL_NOT_IMPLEMENTED;
            }
            // diskid = description, tag or cabinet, unused, path, flags
            const std::string diskPath =
                disk->fields.size() >= 4 ? utf8(file.substitute(disk->fields[3], nullptr)) : std::string();
            std::string relative;
            for (const std::string& part :
                 {diskPath, line.fields.size() >= 2 ? utf8(file.substitute(line.fields[1], nullptr)) : std::string(),
                  utf8(file.substitute(line.key, nullptr))}) {
                std::string piece = part;
                while (!piece.empty() && piece.front() == '\\') piece.erase(0, 1);
                while (!piece.empty() && piece.back() == '\\') piece.pop_back();
                if (!piece.empty()) relative += (relative.empty() ? "" : "\\") + piece;
            }
            const std::string path = folder + "\\" + relative;
            DWORD attributes = 0;
            if (m.files.tryGetAttributes(path, &attributes) != 0 || (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return ERROR_FILE_NOT_FOUND;
            packageFiles->emplace_back(path, relative);
        }
    }
    return 0;
}

// From Vista on Windows stages only device driver packages: an INF that
// names no setup class and has no [Manufacturer] section is refused,
// with ERROR_WRONG_INF_TYPE on Vista and ERROR_UNSUPPORTED_TYPE from
// Windows 7 on (as Wine's conformance tests record them).
DWORD checkDriverPackage(const Machine& m, const winsim::InfFile& file) {
    if (m.system.major < 6) return 0;
    const bool namesClass = file.findLine(u"Version", u"Class", nullptr) != nullptr ||
                            file.findLine(u"Version", u"ClassGUID", nullptr) != nullptr;
    if (namesClass || file.findSection(u"Manufacturer") >= 0) return 0;
    return m.system.major == 6 && m.system.minor == 0 ? ERROR_WRONG_INF_TYPE : ERROR_UNSUPPORTED_TYPE;
}

bool isFullPath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'));
}

// Before Vista an INF whose bytes equal those of an INF already in the
// INF folder is not published again: Windows gives that file's name back,
// whether or not it published it. The path of such a file, or empty.
std::string identicalInfInFolder(Machine& m, const std::string& infFolder, const std::string& content) {
    std::vector<winsim::FindEntry> entries;
    if (m.files.tryFind(infFolder + "\\*.inf", &entries) != 0) return std::string();
    for (const winsim::FindEntry& entry : entries) {
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string path = infFolder + "\\" + entry.name;
        std::string existing;
        if (m.files.tryReadFile(path, &existing) == 0 && existing == content) return path;
    }
    return std::string();
}

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}


// Hands the published INF's path out as SetupCopyOEMInfA does; a buffer
// too small for it fails the call after the INF was published.
BOOL giveName(Machine& m, const std::string& publishedPath, LPSTR DestinationInfFileName,
              DWORD DestinationInfFileNameSize, PDWORD RequiredSize, LPSTR* DestinationInfFileNameComponent,
              DWORD result) {
    const std::string name = winsim::utf8ToAcp(publishedPath);
    const DWORD required = static_cast<DWORD>(name.size() + 1);
    if (RequiredSize) *RequiredSize = required;
    if (DestinationInfFileName) {
        if (DestinationInfFileNameSize < required) return fail(m, ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(DestinationInfFileName, name.c_str(), required);
        if (DestinationInfFileNameComponent)
            *DestinationInfFileNameComponent = DestinationInfFileName + name.rfind('\\') + 1;
    }
    if (result) return fail(m, result);
    // A successful call sets the last error to 0.
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

}  // namespace

BOOL WINAPI SetupCopyOEMInfA(LPCSTR SourceInfFileName, LPCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                             DWORD CopyStyle, LPSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                             PDWORD RequiredSize, LPSTR* DestinationInfFileNameComponent) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupCopyOEMInfA")) return fail(m, e);
    if (DestinationInfFileNameComponent) *DestinationInfFileNameComponent = nullptr;
    if (!SourceInfFileName || OEMSourceMediaType > SPOST_URL) return fail(m, ERROR_INVALID_PARAMETER);
    if (CopyStyle & ~static_cast<DWORD>(SP_COPY_NOOVERWRITE)) {
        winsim::notImplemented("SetupCopyOEMInfA with copy style " + std::to_string(CopyStyle));
        return FALSE;
    }
    if (m.system.platformId != VER_PLATFORM_WIN32_NT) {
        winsim::notImplemented("SetupCopyOEMInfA on Windows 95/98/Me");
        return FALSE;
    }

    const std::string sourcePath = winsim::acpToUtf8(SourceInfFileName);
    // The source must be a full path. Windows XP does not look for a
    // relative name at all; Vista and later read the file from the current
    // folder and check its type, which is all that is recorded of them.
    const bool relative = !isFullPath(sourcePath);
    if (relative && m.system.major < 6) return fail(m, ERROR_FILE_NOT_FOUND);
    std::string content;
    if (DWORD error = m.files.tryReadFile(sourcePath, &content)) return fail(m, error);
    const std::string source = m.files.resolve(sourcePath).canonical;
    const std::string folder = folderOf(source);
    if (content.empty()) return fail(m, ERROR_FILE_INVALID);
    winsim::InfParseResult parsed = winsim::parseInf(winsim::decodeInfText(content, m.system.acp));
    parsed.file.language = static_cast<WORD>(m.system.userDefaultLcid & 0xFFFF);
    if (parsed.error) return fail(m, parsed.error);
    if (!parsed.file.hasWin4Signature()) return fail(m, ERROR_WRONG_INF_STYLE);
    UINT line = 0;
    if (DWORD error = parsed.openError(&line)) return fail(m, error);
    if (DWORD error = checkDriverPackage(m, parsed.file)) return fail(m, error);
    if (relative) {
        winsim::notImplemented("SetupCopyOEMInfA of a driver package named by a relative path");
        return FALSE;
    }

    if (!m.token.effective().hasAdministratorRights()) return fail(m, ERROR_ACCESS_DENIED);

    winsim::StagingRequest request;
    request.infFolder = m.system.windowsDir + "\\INF";
    request.sourceInfPath = source;
    request.infContent = content;
    request.catalogName = catalogName(parsed.file);
    if (!request.catalogName.empty())
        request.catalogPresent =
            m.files.tryReadFile(folder + "\\" + request.catalogName, &request.catalogContent) == 0;
    const bool catalogPresent = request.catalogPresent;
    const bool signedPackage = catalogPresent && m.driverStore.isSigned(folder + "\\" + request.catalogName);
    if (m.driverStore.requireSignedPackages) {
        if (!catalogPresent) return fail(m, ERROR_NO_CATALOG_FOR_OEM_INF);
        if (!signedPackage) {
            winsim::notImplemented("SetupCopyOEMInfA of a package whose catalog is not signed, where signatures "
                                   "are required");
            return FALSE;
        }
    }
    if (m.system.major >= 6) {
        if (DWORD error = findPackageFiles(m, parsed.file, folder, &request.packageFiles)) return fail(m, error);
    }
    if (OEMSourceMediaType != SPOST_NONE)
        request.sourceLocation = OEMSourceMediaLocation ? winsim::acpToUtf8(OEMSourceMediaLocation) : folder;
    request.noOverwrite = (CopyStyle & SP_COPY_NOOVERWRITE) != 0;

    if (m.system.major < 6) {
        const std::string identical = identicalInfInFolder(m, request.infFolder, content);
        if (!identical.empty())
            return giveName(m, identical, DestinationInfFileName, DestinationInfFileNameSize, RequiredSize,
                            DestinationInfFileNameComponent, request.noOverwrite ? ERROR_FILE_EXISTS : 0);
    }

    // An unsigned package is staged once the user has allowed it.
    if (!signedPackage) m.driverStore.unsignedPrompts.push_back(source);
    const winsim::PublishedPackage* package = nullptr;
    const DWORD published = m.driverStore.publish(m.files, request, &package);
    if (published != 0 && published != ERROR_FILE_EXISTS) return fail(m, published);
    // The name goes out also when SP_COPY_NOOVERWRITE found the package
    // published already.
    return giveName(m, package->publishedPath, DestinationInfFileName, DestinationInfFileNameSize, RequiredSize,
                    DestinationInfFileNameComponent, published);
}

BOOL WINAPI SetupUninstallOEMInfA(LPCSTR InfFileName, DWORD Flags, PVOID Reserved) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupUninstallOEMInfA")) return fail(m, e);
    (void)Reserved;
    if (!InfFileName) return fail(m, ERROR_INVALID_PARAMETER);
    if (Flags & ~static_cast<DWORD>(SUOI_FORCEDELETE)) return fail(m, ERROR_INVALID_FLAGS);
    const std::string name = winsim::acpToUtf8(InfFileName);
    if (name.find_first_of("\\/") != std::string::npos) {
        winsim::notImplemented("SetupUninstallOEMInfA with a path");
        return FALSE;
    }
    if (!m.token.effective().hasAdministratorRights()) return fail(m, ERROR_ACCESS_DENIED);
    if (m.driverStore.find(m.files, name)) {
        // Without SUOI_FORCEDELETE a package stays while a device, present
        // or not, was installed from it.
        if (!(Flags & SUOI_FORCEDELETE) && winsim::infUsedByDevice(m.registry, m.devices, name))
            return fail(m, ERROR_INF_IN_USE_BY_DEVICES);
        if (DWORD error = m.driverStore.removePublished(m.files, name)) return fail(m, error);
        m.lastError = ERROR_SUCCESS;
        return TRUE;
    }
    if (m.files.exists(m.system.windowsDir + "\\INF\\" + name)) {
        winsim::notImplemented("SetupUninstallOEMInfA of an INF that the driver store did not publish");
        return FALSE;
    }
    return fail(m, ERROR_FILE_NOT_FOUND);
}
