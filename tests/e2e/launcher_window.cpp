// A stand-in for a launcher program of the end-to-end tests: a top-level
// window that carries one string window property and writes down every
// WM_DEVICECHANGE it receives.
//
//   launcher_window.exe <property name> <log file>
//
// Once the window exists and carries the property, the file "<log>.ready"
// is written. Each WM_DEVICECHANGE appends the line
// "WM_DEVICECHANGE wParam=<hex> lParam=<hex>" to the log (opened and
// closed per message, so the test can read it at any time). The program
// stays until the file "<log>.quit" exists, which it checks ten times a
// second; it then destroys its window and exits 0.
//
// Window properties are global atoms, which compare without regard to
// case: a second program that sets the same name in another case gets the
// same atom, and EnumPropsA reports that atom's name as it was first added.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT_PTR kQuitTimer = 1;
constexpr UINT kQuitPollMilliseconds = 100;

std::string g_log;

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Append(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "launcher_window: cannot open %s (error %lu)\n", path.c_str(), GetLastError());
        return;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DEVICECHANGE: {
        char line[96];
        std::snprintf(line, sizeof(line), "WM_DEVICECHANGE wParam=0x%llx lParam=0x%llx\n",
                      static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam));
        Append(g_log, line);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == kQuitTimer && FileExists(g_log + ".quit")) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: launcher_window.exe <property name> <log file>\n");
        return 2;
    }
    const char* property = argv[1];
    g_log = argv[2];

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "E2ELauncherWindow";
    if (!RegisterClassA(&windowClass)) {
        std::fprintf(stderr, "launcher_window: RegisterClassA failed (error %lu)\n", GetLastError());
        return 1;
    }
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, property, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        std::fprintf(stderr, "launcher_window: CreateWindowExA failed (error %lu)\n", GetLastError());
        return 1;
    }
    if (!SetPropA(window, property, reinterpret_cast<HANDLE>(1))) {
        std::fprintf(stderr, "launcher_window: SetPropA failed (error %lu)\n", GetLastError());
        return 1;
    }
    SetTimer(window, kQuitTimer, kQuitPollMilliseconds, nullptr);
    Append(g_log + ".ready", "");

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
