// Programs that the simulated PC can start, and the log of every start.
//
// A program is a file in winsim's file system with a registered behaviour:
// a function that receives the command line the new process was given and
// the machine, does its work on the machine, and returns the process's
// exit code. CreateProcessA finds the file as Windows does and runs the
// behaviour at once, so the process has ended when CreateProcessA returns.
// A file without a behaviour is a program winsim cannot run: starting it
// fails loudly. Paths and command lines here are UTF-8.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "handles.h"
#include "win_types.h"

namespace winsim {

class FileSystem;
class Machine;

// What a simulated program does. `commandLine` is the whole command line
// of the new process (its first token names the program); the return value
// is the exit code.
using ProgramBehaviour = std::function<DWORD(const std::string& commandLine, Machine& m)>;

// One CreateProcessA call, as the caller made it and as it ended.
struct ProcessStart {
    bool applicationNameGiven = false;
    std::string applicationName;  // lpApplicationName (empty when NULL)
    std::string commandLine;      // lpCommandLine as passed
    DWORD creationFlags = 0;
    DWORD startupInfoSize = 0;  // STARTUPINFOA::cb
    DWORD startupFlags = 0;     // STARTUPINFOA::dwFlags
    WORD showWindow = 0;        // STARTUPINFOA::wShowWindow
    std::string currentDirectory;  // the new process's current directory
    DWORD error = 0;     // the last error CreateProcessA failed with; 0 when the program ran
    std::string image;   // the program file that ran (canonical path), empty on failure
    DWORD exitCode = 0;
    DWORD processId = 0;
    DWORD threadId = 0;
};

// The kernel objects behind the handles CreateProcessA returns.
struct ProcessObject : KernelObject {
    DWORD processId = 0;
    DWORD exitCode = 0;
};
struct ThreadObject : KernelObject {
    DWORD threadId = 0;
    std::shared_ptr<ProcessObject> process;
};

class Processes {
public:
    // The system's pnputil.exe of Windows Vista and later.
    static constexpr const char* kPnpUtilPath = "C:\\WINDOWS\\system32\\pnputil.exe";

    // Places the system's programs (pnputil.exe) as files with their
    // behaviour. A test of an older system or of a missing utility removes
    // the file (FileSystem::remove) or the behaviour (forget).
    explicit Processes(FileSystem& files);

    // Creates the program file (its content is a placeholder image) and
    // registers its behaviour.
    void install(const std::string& path, ProgramBehaviour behaviour);
    // Registers a behaviour for a path, whether or not the file exists.
    void setBehaviour(const std::string& path, ProgramBehaviour behaviour);
    void forget(const std::string& path);
    // The behaviour registered for a canonical path, or null.
    const ProgramBehaviour* behaviourOf(const std::string& canonicalPath) const;

    // Every CreateProcessA call in order, failed ones included.
    std::vector<ProcessStart> starts;
    // The starts that ran the program at `path` (compared without regard
    // to case).
    std::vector<ProcessStart> runsOf(const std::string& path) const;

    DWORD nextProcessId = 5000;
    DWORD nextThreadId = 5004;

private:
    FileSystem& files_;
    std::map<std::string, ProgramBehaviour> behaviours_;  // by upper-cased canonical path
};

// The simulated pnputil.exe (Windows Vista and 7 syntax): "-d <oemN.inf>"
// with an optional "-f" deletes a published driver package.
DWORD runPnpUtil(const std::string& commandLine, Machine& m);

// Splits a command line into arguments the way the C runtime does
// (spaces and tabs separate, double quotes group, backslashes before a
// quote escape it).
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// WaitForSingleObject on a process or thread handle; the wait call
// (process_api.cpp) dispatches here for those handle kinds.
DWORD waitForProcessOrThread(Machine& m, HANDLE handle, DWORD milliseconds);

}  // namespace winsim
