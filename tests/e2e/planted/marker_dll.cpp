// A DLL planted under a system DLL's name (version.dll, comctl32.dll,
// shell32.dll) beside the program or in its current folder. If the loader
// ever maps it into a process, it leaves a marker in
// C:\e2e\marker-<own file name without extension>.txt:
//   loaded<TAB><this DLL's path><TAB><the process's program>
// when DllMain attaches it, and
//   called<TAB><function>
// each time one of its exports is called. The exports (see the .def file of
// each name) are the functions the program imports or looks up in the real
// DLL, and those Wine's own DLLs import from it, so that a load resolves and
// the process goes on; they fail without doing anything. A load tells that
// the DLL reached the process; a call tells who used it: the program's own
// calls are to the ANSI functions.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

char g_marker[MAX_PATH];

void Append(const std::string& line) {
    if (!g_marker[0]) return;
    HANDLE file = CreateFileA(g_marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void RecordLoad(HMODULE self) {
    char dll[MAX_PATH] = {};
    char program[MAX_PATH] = {};
    if (!GetModuleFileNameA(self, dll, MAX_PATH)) return;
    GetModuleFileNameA(nullptr, program, MAX_PATH);

    const char* name = std::strrchr(dll, '\\');
    std::string base(name ? name + 1 : dll);
    const std::string::size_type dot = base.rfind('.');
    if (dot != std::string::npos) base.erase(dot);
    for (char& c : base) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const std::string marker = "C:\\e2e\\marker-" + base + ".txt";
    if (marker.size() >= sizeof(g_marker)) return;
    std::memcpy(g_marker, marker.c_str(), marker.size() + 1);
    Append(std::string("loaded\t") + dll + "\t" + program);
}

BOOL Called(const char* function) {
    Append(std::string("called\t") + function);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

}  // namespace

// The exports, under names of their own: the .def files give them the
// system DLL's names, which <windows.h> declares with other linkage.
extern "C" {

// version.dll: the ANSI functions the program uses, and the wide ones that
// Wine's own user32.dll and setupapi.dll import.
DWORD WINAPI MarkerGetFileVersionInfoSizeA(LPCSTR, LPDWORD) { return Called("GetFileVersionInfoSizeA"); }
BOOL WINAPI MarkerGetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) { return Called("GetFileVersionInfoA"); }
BOOL WINAPI MarkerVerQueryValueA(LPCVOID, LPCSTR, LPVOID*, PUINT) { return Called("VerQueryValueA"); }
DWORD WINAPI MarkerGetFileVersionInfoSizeW(LPCWSTR, LPDWORD) { return Called("GetFileVersionInfoSizeW"); }
BOOL WINAPI MarkerGetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return Called("GetFileVersionInfoW"); }
BOOL WINAPI MarkerVerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return Called("VerQueryValueW"); }

// comctl32.dll
void WINAPI MarkerInitCommonControls() { Called("InitCommonControls"); }
BOOL WINAPI MarkerInitCommonControlsEx(const void*) { return Called("InitCommonControlsEx"); }

// shell32.dll
HRESULT WINAPI MarkerSHGetKnownFolderPath(const void*, DWORD, HANDLE, void** path) {
    if (path) *path = nullptr;
    Called("SHGetKnownFolderPath");
    return E_NOTIMPL;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(self);
    return TRUE;
}
