#include "install/oem_inf_store.h"

#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "app/app_context.h"
#include "app/environment.h"
#include "app/messages.h"
#include "install/media_folders.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"
#include "sysaccess/system_folders.h"

namespace {

const char kOemPattern[] = "\\oem*.inf";
const char kInfExtension[] = ".inf";
const char kPnfExtension[] = ".PNF";
const UINT kStagedInfs[] = {IDS_INF_BUS, IDS_INF_MDM, IDS_INF_OBX, 0};

void UpperCaseAscii(char* text) {
    for (; *text; ++text) {
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
    }
}

// Reads field 2 (the first hardware ID) of the first line of the section.
bool ReadFirstHardwareId(HINF inf, const char* section, char* field) {
    INFCONTEXT line;
    if (!SetupFindFirstLineA(inf, section, nullptr, &line)) return false;
    return SetupGetStringFieldA(&line, 2, field, kInfFieldSize, nullptr) != FALSE;
}

// A preview lists the INF as staged where the file is there; a missing
// one fails the staging as SetupCopyOEMInfA would, with the code of the
// file lookup. Whether Windows accepts its signature, only staging tells.
bool LogWouldStageInf(const char* path) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        ShowSystemError(GetLastError());
        return false;
    }
    LogWouldDo("INF staged", path);
    return true;
}

}  // namespace

CInstall::CInstall(int osCode) : m_osCode(osCode), m_testStringsLoaded(false), m_hardwareId(), m_modelSection() {}

CInstall::~CInstall() {}

bool CInstall::LoadTestStrings() {
    // Loaded once per object: a scan tests every INF file of the system,
    // two thousand and more on a well-used PC. A string that does not load
    // is asked for again by the next test.
    if (m_testStringsLoaded) return true;
    m_testStringsLoaded = LoadResString(IDS_HWID_COMPOSITE, m_hardwareId, sizeof(m_hardwareId)) != 0 &&
                          LoadResString(IDS_INF_MODEL_SECTION, m_modelSection, sizeof(m_modelSection)) != 0;
    return m_testStringsLoaded;
}

int CInstall::IsProductInf(const char* infName) {
    if (!LoadTestStrings()) return 0;

    HINF inf = SetupOpenInfFileA(infName, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return 0;
    char field[kInfFieldSize] = {};
    int result = 0;
    if (ReadFirstHardwareId(inf, m_modelSection, field)) {
        // The hardware ID of the string table is all upper case, so this
        // matches the INF's text without regard to case.
        UpperCaseAscii(field);
        result = std::strstr(field, m_hardwareId) ? 1 : 0;
    }
    SetupCloseInfFile(inf);
    return result;
}

int CInstall::DeleteOemInfs() {
    char folder[kPathBufferSize] = {};
    if (!GetInfDir(folder)) return 0;

    char pattern[kPathBufferSize] = {};
    lstrcpyA(pattern, folder);
    RemoveBackslash(pattern);
    if (!AppendStringLimited(pattern, kOemPattern, kPathMaxChars)) return 0;

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int result = 1;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // The pattern also matches through short names: "oem1.inf_old" is
        // listed for its short name OEM1~1.INF, and its .PNF twin would be
        // oem1.PNF, the file of another package.
        if (!HasExtension(entry.cFileName, kInfExtension)) continue;
        // A folder and name that do not fit one path end the scan as a
        // failure: a cut path could name another file.
        char path[kPathBufferSize] = {};
        if (!CopyStringLimited(path, folder, kPathMaxChars) || !AppendStringLimited(path, "\\", kPathMaxChars) ||
            !AppendStringLimited(path, entry.cFileName, kPathMaxChars)) {
            result = 0;
            break;
        }
        if (IsProductInf(path) != 1) continue;
        if (!RemoveFile(path)) {
            result = 0;
            break;
        }
        if (ReplaceExtension(path, kPnfExtension, kPathMaxChars)) RemoveFile(path);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return result;
}

int CInstall::CopyOemInfs() {
    char folder[kPathBufferSize] = {};
    if (!GetDriverSourceDir(folder)) return 0;
    AddBackslash(folder, kPathBufferSize);

    for (const UINT* id = kStagedInfs; *id; ++id) {
        char path[kPathBufferSize] = {};
        if (!CopyStringLimited(path, folder, kPathMaxChars)) return 0;
        if (!AppendResStringWhole(*id, path, kPathBufferSize)) return 0;
        if (PreviewMode()) {
            if (!LogWouldStageInf(path)) return 0;
            continue;
        }
        // The published name (oemN.inf) goes to the log.
        char published[MAX_PATH + 1] = {};
        if (!SetupCopyOEMInfA(path, nullptr, SPOST_PATH, 0, published, sizeof(published), nullptr, nullptr)) {
            const DWORD error = GetLastError();
            // An unsigned package is refused by the system's own signature
            // policy, which has told the user already.
            if (error != ERROR_NO_CATALOG_FOR_OEM_INF) ShowSystemError(error);
            return 0;
        }
        LogEvent("INF staged", path, published);
    }
    return 1;
}

int CInstall::PreInstall() {
    if (m_osCode < OS_WIN2000) return 0;
    // From Vista on an oem*.inf is only the published name of a package in
    // the driver store, and the removal has just had pnputil.exe delete
    // every package of the phone. One still published is one it could not
    // delete: deleting its name by hand would leave the package in the
    // store, where Plug and Play still ranks it against the new one, with
    // no name that a later removal could give pnputil.exe.
    if (m_osCode < OS_VISTA) DeleteOemInfs();
    return CopyOemInfs();
}

int GetDriverSourceDir(char* out) { return GetMediaFolder(IDS_FOLDER_DRIVERS, out); }
