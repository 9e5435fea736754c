// The Setup API's INF functions over winsim's INF parser: opening an INF
// file (by path, or by bare name in the Windows INF folder), finding lines,
// reading fields, and listing the INF files of a folder.
//
// Where Microsoft's pages are silent, the behaviour is that of
// setupapi.dll as Wine's parser tests record it on Windows: opening, line
// searches and field reads that succeed set the last error to 0; a
// section that does not exist is reported like a line that does not
// (ERROR_LINE_NOT_FOUND); a field past the last one fails with
// ERROR_INVALID_PARAMETER.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "codepage.h"
#include "inf_parser.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

struct InfObject : winsim::KernelObject {
    winsim::InfFile file;
    std::string path;  // UTF-8 Windows path of the file
};

std::shared_ptr<InfObject> infFromHandle(Machine& m, HINF inf) {
    return m.handles.get<InfObject>(static_cast<HANDLE>(inf), winsim::HandleKind::InfFile);
}

std::u16string wide(const char* ansi) {
    return winsim::decode(ansi, std::strlen(ansi), winsim::current().system.acp).text;
}

std::string folderOfPath(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The DIRIDs that field texts may name as %dirid%: the ones winsim models
// give their folder; the other documented ones are reported as not
// modelled; any other number is no DIRID and stays as written.
std::optional<std::u16string> resolveDirId(Machine& m, const std::string& infPath, long dirid) {
    const std::string windows = m.system.windowsDir;
    std::string folder;
    switch (dirid) {
    case 1: folder = folderOfPath(infPath) + "\\"; break;  // the INF's own folder
    case 10: folder = windows; break;
    case 11: folder = windows + "\\system32"; break;
    case 12: folder = windows + "\\system32\\drivers"; break;
    case 17: folder = windows + "\\INF"; break;
    case 18: folder = windows + "\\Help"; break;
    case 20: folder = windows + "\\Fonts"; break;
    case 24: folder = windows.substr(0, 3); break;  // the root of the system drive, "C:\"
    default: {
        const bool documented = dirid == -1 || dirid == 13 || dirid == 21 || dirid == 23 || dirid == 25 ||
                                dirid == 30 || (dirid >= 50 && dirid <= 55) || (dirid >= 16384 && dirid <= 16447) ||
                                (dirid >= 66000 && dirid <= 66004);
        if (documented) winsim::notImplemented("INF DIRID " + std::to_string(dirid));
        return std::nullopt;
    }
    }
    return winsim::decode(folder.data(), folder.size(), CP_UTF8).text;
}

winsim::DirIdResolver resolverFor(Machine& m, const std::string& infPath) {
    return [&m, infPath](long dirid) { return resolveDirId(m, infPath, dirid); };
}

const winsim::InfLine* lineAt(const InfObject& inf, const INFCONTEXT* context) {
    if (context->Section >= inf.file.sections.size()) return nullptr;
    const winsim::InfSection& section = inf.file.sections[context->Section];
    return context->Line < section.lines.size() ? &section.lines[context->Line] : nullptr;
}

// Reads the file the way SetupOpenInfFile looks for it: a name with a path
// separator as given, a bare name in the INF folder and then in system32.
DWORD readInfFile(Machine& m, const std::string& name, std::string* path, std::string* content) {
    if (name.find_first_of("\\/") != std::string::npos) {
        *path = name;
        return m.files.tryReadFile(name, content);
    }
    DWORD error = 0;
    for (const char* folder : {"\\INF\\", "\\system32\\"}) {
        *path = m.system.windowsDir + folder + name;
        error = m.files.tryReadFile(*path, content);
        if (error != ERROR_FILE_NOT_FOUND) break;
    }
    return error;
}

}  // namespace

HINF WINAPI SetupOpenInfFileA(LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle, PUINT ErrorLine) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupOpenInfFileA")) {
        m.lastError = e;
        return INVALID_HANDLE_VALUE;
    }
    if (!FileName) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    if (InfClass) {
        winsim::notImplemented("SetupOpenInfFileA with a class filter");
        return INVALID_HANDLE_VALUE;
    }
    if (!(InfStyle & INF_STYLE_WIN4)) {
        winsim::notImplemented("SetupOpenInfFileA without INF_STYLE_WIN4 (legacy INF files)");
        return INVALID_HANDLE_VALUE;
    }

    auto object = std::make_shared<InfObject>();
    std::string content;
    if (DWORD error = readInfFile(m, winsim::acpToUtf8(FileName), &object->path, &content)) {
        m.lastError = error;
        return INVALID_HANDLE_VALUE;
    }
    // An empty file cannot be mapped into memory, which is how the Setup
    // API reads INF files.
    if (content.empty()) {
        m.lastError = ERROR_FILE_INVALID;
        return INVALID_HANDLE_VALUE;
    }
    winsim::InfParseResult parsed = winsim::parseInf(winsim::decodeInfText(content, m.system.acp));
    UINT line = 0;
    DWORD error = parsed.error;
    if (!error && !parsed.file.hasWin4Signature()) {
        if (InfStyle & INF_STYLE_OLDNT) {
            winsim::notImplemented("SetupOpenInfFileA of a legacy (INF_STYLE_OLDNT) file");
            return INVALID_HANDLE_VALUE;
        }
        error = ERROR_WRONG_INF_STYLE;
    } else {
        error = parsed.openError(&line);
    }
    if (error) {
        if (ErrorLine) *ErrorLine = line;
        m.lastError = error;
        return INVALID_HANDLE_VALUE;
    }
    object->file = std::move(parsed.file);
    object->file.language = static_cast<WORD>(m.system.userDefaultLcid & 0xFFFF);
    HANDLE handle = m.handles.add(winsim::HandleKind::InfFile, object);
    m.lastError = 0;
    return static_cast<HINF>(handle);
}

void WINAPI SetupCloseInfFile(HINF InfHandle) {
    Machine& m = winsim::current();
    // A fault here leaves the handle open: the only way a close that
    // returns nothing can fail.
    if (DWORD e = m.faults.check("SetupCloseInfFile")) {
        m.lastError = e;
        return;
    }
    if (!InfHandle || InfHandle == INVALID_HANDLE_VALUE) return;
    m.handles.close(static_cast<HANDLE>(InfHandle), winsim::HandleKind::InfFile);
}

BOOL WINAPI SetupFindFirstLineA(HINF InfHandle, LPCSTR Section, LPCSTR Key, PINFCONTEXT Context) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupFindFirstLineA")) {
        m.lastError = e;
        return FALSE;
    }
    auto inf = infFromHandle(m, InfHandle);
    if (!inf) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (!Section || !Context) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const int section = inf->file.findSection(wide(Section));
    if (section >= 0) {
        const auto& lines = inf->file.sections[section].lines;
        const auto dirids = resolverFor(m, inf->path);
        const std::u16string key = Key ? wide(Key) : std::u16string();
        for (size_t i = 0; i < lines.size(); ++i) {
            // Keys are compared as they read after substitution.
            if (Key && !(lines[i].hasKey && winsim::equalsIgnoreCase(inf->file.substitute(lines[i].key, dirids), key)))
                continue;
            Context->Inf = InfHandle;
            Context->CurrentInf = InfHandle;
            Context->Section = static_cast<UINT>(section);
            Context->Line = static_cast<UINT>(i);
            m.lastError = 0;
            return TRUE;
        }
    }
    m.lastError = ERROR_LINE_NOT_FOUND;
    return FALSE;
}

BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupFindNextLine")) {
        m.lastError = e;
        return FALSE;
    }
    if (!ContextIn || !ContextOut) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    auto inf = infFromHandle(m, ContextIn->CurrentInf);
    if (!inf) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    INFCONTEXT next = *ContextIn;
    ++next.Line;
    if (!lineAt(*inf, &next)) {
        m.lastError = ERROR_LINE_NOT_FOUND;
        return FALSE;
    }
    *ContextOut = next;
    m.lastError = 0;
    return TRUE;
}

BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT Context, DWORD FieldIndex, LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupGetStringFieldA")) {
        m.lastError = e;
        return FALSE;
    }
    if (!Context) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    auto inf = infFromHandle(m, Context->CurrentInf);
    if (!inf) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    const winsim::InfLine* line = lineAt(*inf, Context);
    if (!line) {
        m.lastError = ERROR_LINE_NOT_FOUND;
        return FALSE;
    }
    // Field 0 is the key, which a line of several fields without '=' lacks.
    const std::u16string* raw = nullptr;
    if (FieldIndex == 0) {
        if (line->hasKey) raw = &line->key;
    } else if (FieldIndex <= line->fields.size()) {
        raw = &line->fields[FieldIndex - 1];
    }
    if (!raw) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const std::string text = winsim::fromUtf16(inf->file.substitute(*raw, resolverFor(m, inf->path)), m.system.acp);
    const DWORD required = static_cast<DWORD>(text.size() + 1);
    if (RequiredSize) *RequiredSize = required;
    if (ReturnBuffer) {
        if (ReturnBufferSize < required) {
            m.lastError = ERROR_INSUFFICIENT_BUFFER;
            return FALSE;
        }
        std::memcpy(ReturnBuffer, text.c_str(), required);
    }
    m.lastError = 0;
    return TRUE;
}

DWORD WINAPI SetupGetFieldCount(PINFCONTEXT Context) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupGetFieldCount")) {
        m.lastError = e;
        return 0;
    }
    if (!Context) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    auto inf = infFromHandle(m, Context->CurrentInf);
    if (!inf) {
        m.lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    const winsim::InfLine* line = lineAt(*inf, Context);
    if (!line) {
        m.lastError = ERROR_LINE_NOT_FOUND;
        return 0;
    }
    return static_cast<DWORD>(line->fields.size());
}

BOOL WINAPI SetupGetInfFileListA(LPCSTR DirectoryPath, DWORD InfStyle, LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetupGetInfFileListA")) {
        m.lastError = e;
        return FALSE;
    }
    if ((InfStyle & ~static_cast<DWORD>(INF_STYLE_OLDNT | INF_STYLE_WIN4)) != 0 ||
        (InfStyle & (INF_STYLE_OLDNT | INF_STYLE_WIN4)) == 0) {
        winsim::notImplemented("SetupGetInfFileListA with style " + std::to_string(InfStyle));
        return FALSE;
    }
    std::string folder;
    if (DirectoryPath) {
        folder = winsim::acpToUtf8(DirectoryPath);
        if (folder.empty()) {
            winsim::notImplemented("SetupGetInfFileListA with an empty folder name");
            return FALSE;
        }
        if (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
        DWORD attributes = 0;
        if (m.files.tryGetAttributes(folder, &attributes) == 0 && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            m.lastError = ERROR_DIRECTORY;
            return FALSE;
        }
    } else {
        folder = m.system.windowsDir + "\\INF";
    }

    // The names in the folder's own order, each with its terminator, then
    // the empty entry that ends the list. A folder that cannot be searched
    // gives the empty list, as Wine's implementation does.
    std::string list;
    std::vector<winsim::FindEntry> entries;
    if (m.files.tryFind(folder + "\\*.inf", &entries) == 0) {
        for (const winsim::FindEntry& entry : entries) {
            if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string content;
            if (m.files.tryReadFile(folder + "\\" + entry.name, &content) != 0) continue;
            const winsim::InfParseResult parsed = winsim::parseInf(winsim::decodeInfText(content, m.system.acp));
            if (parsed.error) continue;
            const DWORD style = parsed.file.hasWin4Signature() ? INF_STYLE_WIN4 : INF_STYLE_OLDNT;
            if (!(InfStyle & style)) continue;
            list += winsim::utf8ToAcp(entry.name);
            list += '\0';
        }
    }
    list += '\0';
    const DWORD required = static_cast<DWORD>(list.size());
    if (RequiredSize) *RequiredSize = required;
    if (ReturnBuffer) {
        if (ReturnBufferSize < required) {
            m.lastError = ERROR_INSUFFICIENT_BUFFER;
            return FALSE;
        }
        std::memcpy(ReturnBuffer, list.data(), required);
    }
    return TRUE;
}
