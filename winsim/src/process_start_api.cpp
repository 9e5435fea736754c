// CreateProcessA, GetExitCodeProcess and the wait on a started process.
//
// The program file is found as Windows finds it (see findModule below);
// its registered behaviour then runs to its end inside CreateProcessA, so
// the process and its thread are signalled from the moment the caller gets
// their handles.
#include <windows.h>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/machine.h"

using winsim::FileSystem;
using winsim::Machine;

namespace {

constexpr DWORD kStillActive = 259;        // STILL_ACTIVE
constexpr DWORD kErrorNoAccess = 998;      // ERROR_NOACCESS
constexpr DWORD kCreateSuspended = 0x00000004;
constexpr DWORD kDebugFlags = 0x00000003;  // DEBUG_PROCESS | DEBUG_ONLY_THIS_PROCESS
constexpr DWORD kExtendedStartupInfo = 0x00080000;

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

bool hasPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

// Where a module name of a command line is looked for, in Windows' order:
// the program's own folder, the current directory, the 32-bit system
// folder, the 16-bit system folder, the Windows folder, then the folders
// of PATH (a new installation's PATH, which names only system folders).
std::vector<std::string> searchFolders(const Machine& m) {
    const std::string& windows = m.system.windowsDir;
    return {folderOf(m.modules.programPath),
            m.files.currentDirectory,
            windows + "\\system32",
            windows + "\\system",
            windows,
            windows + "\\system32",
            windows,
            windows + "\\system32\\Wbem",
            windows + "\\system32\\WindowsPowerShell\\v1.0"};
}

// A module name gets ".exe" when its file name has no extension; a name
// that ends in a dot means "no extension" and gets none.
std::string withDefaultExtension(const std::string& name) {
    const size_t slash = name.find_last_of("\\/:");
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    if (file.find('.') != std::string::npos) return name;
    return name + ".exe";
}

// The result of looking for a program file.
struct Found {
    DWORD error = ERROR_FILE_NOT_FOUND;
    FileSystem::Resolved file;
};

// lpApplicationName: the exact file, completed from the current drive and
// directory when partial; no search, no default extension.
Found resolveExact(const Machine& m, const std::string& path) {
    Found found;
    // A 32-bit process looks for the program through the file system
    // redirector: System32 is SysWOW64 for it.
    found.file = m.files.resolve(winsim::redirectForCurrentProcess(path, false));
    const FileSystem::Resolved& r = found.file;
    if (r.syntaxError)
        found.error = r.syntaxError;
    else if (!r.driveKnown || !r.parentExists)
        found.error = ERROR_PATH_NOT_FOUND;
    else if (!r.exists)
        found.error = ERROR_FILE_NOT_FOUND;
    else if (r.isDirectory)
        found.error = ERROR_CALL_NOT_IMPLEMENTED;  // what Windows reports for a folder is not modelled
    else
        found.error = 0;
    return found;
}

// One candidate module name of a command line: a name with a path is taken
// as it is; a bare name is looked for in the search folders.
Found resolveCandidate(const Machine& m, const std::string& name) {
    const std::string module = withDefaultExtension(name);
    if (hasPath(module)) return resolveExact(m, module);
    for (const std::string& folder : searchFolders(m)) {
        Found found = resolveExact(m, folder + "\\" + module);
        if (found.error == 0 || found.error == ERROR_CALL_NOT_IMPLEMENTED) return found;
    }
    return Found();
}

// lpApplicationName NULL: the module is the first token of the command
// line. A quoted name ends at its closing quote. Without quotes Windows
// tries each run of the line up to a space in turn ("c:\program.exe",
// then "c:\program files\sub.exe", ...) and takes the first that exists.
Found findModule(const Machine& m, const std::string& commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        return resolveCandidate(m, commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    }
    Found first;
    bool haveFirst = false;
    size_t end = 0;
    while (end <= commandLine.size()) {
        end = commandLine.find_first_of(" \t", end);
        if (end == std::string::npos) end = commandLine.size();
        const std::string name = commandLine.substr(0, end);
        if (!name.empty()) {
            Found found = resolveCandidate(m, name);
            if (found.error == 0 || found.error == ERROR_CALL_NOT_IMPLEMENTED) return found;
            if (!haveFirst) {
                first = found;
                haveFirst = true;
            }
        }
        ++end;
    }
    // Nothing matched: the error is the one the first token gave.
    return first;
}

std::shared_ptr<winsim::ProcessObject> processOf(const Machine& m, HANDLE handle) {
    return m.handles.get<winsim::ProcessObject>(handle, winsim::HandleKind::Process);
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                           BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CreateProcessA")) return fail(m, e);
    (void)bInheritHandles;  // the simulated program uses none of the caller's handles
    if ((lpProcessAttributes && lpProcessAttributes->lpSecurityDescriptor) ||
        (lpThreadAttributes && lpThreadAttributes->lpSecurityDescriptor)) {
        winsim::notImplemented("CreateProcessA with a security descriptor");
        return FALSE;
    }
    if (lpEnvironment || lpCurrentDirectory) {
        winsim::notImplemented("CreateProcessA with an environment or a current directory of its own");
        return FALSE;
    }
    if (dwCreationFlags & (kCreateSuspended | kDebugFlags | kExtendedStartupInfo)) {
        winsim::notImplemented("CreateProcessA suspended, debugged or with extended start data");
        return FALSE;
    }
    if (!lpStartupInfo || !lpProcessInformation || (!lpApplicationName && !lpCommandLine)) {
        winsim::notImplemented("CreateProcessA without start data, process information or any program name");
        return FALSE;
    }

    winsim::ProcessStart start;
    start.applicationNameGiven = lpApplicationName != nullptr;
    if (lpApplicationName) start.applicationName = winsim::acpToUtf8(lpApplicationName);
    if (lpCommandLine) start.commandLine = winsim::acpToUtf8(lpCommandLine);
    start.creationFlags = dwCreationFlags;
    start.startupInfoSize = lpStartupInfo->cb;
    start.startupFlags = lpStartupInfo->dwFlags;
    start.showWindow = lpStartupInfo->wShowWindow;
    start.currentDirectory = m.files.currentDirectory;

    Found found;
    if (lpApplicationName) {
        found = start.applicationName.empty() ? Found{ERROR_PATH_NOT_FOUND, {}}
                                              : resolveExact(m, start.applicationName);
    } else {
        // Only MAX_PATH characters of a command line name the module.
        const std::string module = start.commandLine.substr(0, start.commandLine.find_first_of(" \t"));
        if (module.size() > MAX_PATH) {
            winsim::notImplemented("CreateProcessA of a command line whose module name exceeds MAX_PATH");
            return FALSE;
        }
        found = findModule(m, start.commandLine);
    }
    if (found.error == ERROR_CALL_NOT_IMPLEMENTED) {
        winsim::notImplemented("CreateProcessA of the folder " + found.file.canonical);
        return FALSE;
    }
    if (found.error) {
        start.error = found.error;
        m.processes.starts.push_back(start);
        return fail(m, found.error);
    }
    const winsim::ProgramBehaviour* behaviour = m.processes.behaviourOf(found.file.canonical);
    if (!behaviour) {
        winsim::notImplemented("CreateProcessA of " + found.file.canonical + ", a program winsim cannot run");
        return FALSE;
    }

    // The new process receives the command line as given, or the
    // application name when there is none.
    const std::string childLine = lpCommandLine ? start.commandLine : start.applicationName;
    start.image = found.file.canonical;
    start.processId = m.processes.nextProcessId;
    start.threadId = m.processes.nextThreadId;
    m.processes.nextProcessId += 8;
    m.processes.nextThreadId += 8;
    // The program runs in a process of its own: it neither sees nor
    // changes the caller's last error.
    const DWORD callerError = m.lastError;
    const winsim::ProgramBehaviour program = *behaviour;
    start.exitCode = program(childLine, m);
    m.lastError = callerError;
    m.processes.starts.push_back(start);

    auto process = std::make_shared<winsim::ProcessObject>();
    process->processId = start.processId;
    process->exitCode = start.exitCode;
    auto thread = std::make_shared<winsim::ThreadObject>();
    thread->threadId = start.threadId;
    thread->process = process;
    lpProcessInformation->hProcess = m.handles.add(winsim::HandleKind::Process, process);
    lpProcessInformation->hThread = m.handles.add(winsim::HandleKind::Thread, thread);
    lpProcessInformation->dwProcessId = start.processId;
    lpProcessInformation->dwThreadId = start.threadId;
    return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetExitCodeProcess")) return fail(m, e);
    DWORD code = 0;
    if (hProcess == GetCurrentProcess()) {
        code = kStillActive;  // the caller is running
    } else if (auto process = processOf(m, hProcess)) {
        code = process->exitCode;
    } else {
        return fail(m, ERROR_INVALID_HANDLE);
    }
    if (!lpExitCode) return fail(m, kErrorNoAccess);
    *lpExitCode = code;
    return TRUE;
}

namespace winsim {

DWORD waitForProcessOrThread(Machine& m, HANDLE handle, DWORD milliseconds) {
    (void)milliseconds;
    // A simulated program has ended inside CreateProcessA: its process and
    // its thread are signalled, and a wait of any length returns at once.
    const HandleKind kind = m.handles.kindOf(handle);
    if (kind == HandleKind::Process || kind == HandleKind::Thread) return WAIT_OBJECT_0;
    notImplemented(std::string("WaitForSingleObject on a ") + toString(kind) + " handle");
    return WAIT_FAILED;
}

}  // namespace winsim
