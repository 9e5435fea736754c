// A stand-in for the system's pnputil.exe, which Wine does not have. The
// end-to-end tests install it as C:\windows\system32\pnputil.exe.
//
// It appends its whole command line, as the process received it, to
// C:\e2e\pnputil.log (one line per run) and the path it was started from
// to C:\e2e\pnputil.image. Given "-d <name>" (with or without "-f"), it
// deletes the published package the way the driver store's removal leaves
// the INF folder: C:\windows\inf\<name> and its precompiled twin with the
// extension .pnf. It always exits 0, as pnputil does after a forced
// deletion.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

void Append(const char* path, const std::string& line) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void DeletePublishedPackage(const std::string& name) {
    char windows[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || name.find_first_of("\\/:") != std::string::npos) return;
    std::string inf = std::string(windows) + "\\inf\\" + name;
    std::string::size_type dot = inf.find_last_of('.');
    std::string pnf = (dot == std::string::npos ? inf : inf.substr(0, dot)) + ".pnf";
    SetFileAttributesA(inf.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(inf.c_str());
    SetFileAttributesA(pnf.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(pnf.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Append("C:\\e2e\\pnputil.log", GetCommandLineA());
    char image[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, image, MAX_PATH);
    Append("C:\\e2e\\pnputil.image", image);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-d") == 0 || std::strcmp(argv[i], "/d") == 0) DeletePublishedPackage(argv[i + 1]);
    }
    return 0;
}
