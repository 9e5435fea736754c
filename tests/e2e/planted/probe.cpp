// The planted-file test's control: loads each DLL named on the command line
// by its full path and starts each program by its full path (waiting for
// it), so that the test can see every planted file leave its marker when it
// does reach a process. Exits with the number of files that did not load or
// start.
//
//   planted_probe.exe <full path of a .dll or .exe>...
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool EndsWithExe(const char* path) {
    const size_t length = std::strlen(path);
    return length >= 4 && lstrcmpiA(path + length - 4, ".exe") == 0;
}

bool Start(const char* path) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    return true;
}

bool Load(const char* path) {
    HMODULE module = LoadLibraryA(path);
    if (!module) return false;
    FreeLibrary(module);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        if (!(EndsWithExe(argv[i]) ? Start(argv[i]) : Load(argv[i]))) {
            std::fprintf(stderr, "planted_probe: %s failed (error %lu)\n", argv[i], GetLastError());
            ++failures;
        }
    }
    return failures;
}
