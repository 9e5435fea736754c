// A program planted as pnputil.exe beside the program under test or in its
// current folder. If it is ever started, it leaves a marker: one line
// "<its own path><TAB><its command line>" appended to
// C:\e2e\marker-pnputil.txt. It changes nothing else and exits 0.
#include <windows.h>

#include <string>

int main() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string line = std::string(self) + "\t" + GetCommandLineA() + "\r\n";
    HANDLE file = CreateFileA("C:\\e2e\\marker-pnputil.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
