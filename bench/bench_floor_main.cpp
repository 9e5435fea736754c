// The floor of the benchmark as a Windows program, run under Wine beside
// the real 210QX_USB.exe. A GUI-subsystem program like it, so that both
// start alike (no console is made for either).
//
//   bench_floor.exe <media Drivers folder> <report file>
//   bench_floor.exe --empty
//
// Runs the floor's calls (floor.h) and writes their counts to the report
// file; with --empty it does nothing, which measures what starting a
// program costs. Exits 0, or 1 when the report cannot be written.
#include <windows.h>

#include <string>

#include "floor.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    if (__argc == 2 && lstrcmpA(__argv[1], "--empty") == 0) return 0;
    if (__argc != 3) return 2;
    const std::string report = bench::Describe(bench::RunFloor(__argv[1])) + "\r\n";
    HANDLE file = CreateFileA(__argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
