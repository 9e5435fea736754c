// Runs the conformance tests on Windows (or under Wine). Each test that asks
// for a folder gets a fresh C:\conformance\<suite>.<test>, removed with all
// its contents when the test ends; registry keys are the tests' own to
// remove. "--acp=932" states the ANSI code page the run is meant for: the
// harness sets it through the locale, and a mismatch stops the run instead
// of quietly testing the wrong code page.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "conformance.h"

namespace {

const char kRootFolder[] = "C:\\conformance";

// The folder handed out to the running test, empty until it asks for one.
std::string g_testFolder;

std::wstring Widen(const std::string& ansi) {
    if (ansi.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &wide[0], length);
    return wide;
}

// Removes a folder and everything below it and returns ERROR_SUCCESS or the
// error of the first step that failed. Read-only files and folders are made
// writable first, since DeleteFile and RemoveDirectory refuse them. The wide
// functions are used so that names a test created in either code page are
// found and removed.
DWORD RemoveTree(const std::wstring& folder) {
    DWORD firstError = ERROR_SUCCESS;
    auto note = [&firstError](BOOL ok) {
        if (!ok && firstError == ERROR_SUCCESS) firstError = GetLastError();
    };
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0) continue;
            std::wstring path = folder + L"\\" + entry.cFileName;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DWORD error = RemoveTree(path);
                if (firstError == ERROR_SUCCESS) firstError = error;
            } else {
                note(DeleteFileW(path.c_str()));
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    note(RemoveDirectoryW(folder.c_str()));
    return firstError;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes the running test's folder when the test ends, and reports a
// folder that could not be removed (a handle the test left open, usually).
class TestFolderCleanup : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { g_testFolder.clear(); }
    void OnTestEnd(const testing::TestInfo&) override {
        if (g_testFolder.empty()) return;
        if (DWORD error = RemoveTree(Widen(g_testFolder)))
            ADD_FAILURE() << "could not remove the test folder " << g_testFolder << " (error " << error
                          << "): is a handle still open?";
        g_testFolder.clear();
    }
};

}  // namespace

namespace conformance {

// Wine's ntdll exports wine_get_version; Windows' does not.
bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool Is32BitProcess() { return sizeof(void*) == 4; }

std::string TestFolder() {
    if (!g_testFolder.empty()) return g_testFolder;
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    // Parameterised tests have slashes in their names; a folder name cannot.
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    std::string folder = std::string(kRootFolder) + "\\" + name;
    CreateDirectoryA(kRootFolder, nullptr);
    // A folder left behind by an interrupted earlier run is not fresh.
    if (Exists(folder)) RemoveTree(Widen(folder));
    if (!CreateDirectoryA(folder.c_str(), nullptr))
        ADD_FAILURE() << "could not create the test folder " << folder << " (error " << GetLastError() << ")";
    g_testFolder = folder;
    return folder;
}

HWND TopLevelWindow(const char* title) {
    static const ATOM windowClass = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ConformanceTests.Window";
        return RegisterClassA(&wc);
    }();
    if (!windowClass) return nullptr;
    return CreateWindowExA(0, "ConformanceTests.Window", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void DestroyTopLevelWindow(HWND window) { DestroyWindow(window); }

}  // namespace conformance

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    UINT wanted = 0;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--acp=", 6) == 0) wanted = (UINT)std::strtoul(argv[i] + 6, nullptr, 10);
    if (wanted != 0 && GetACP() != wanted) {
        std::fprintf(stderr, "conformance_tests: the ANSI code page is %u, not %u as asked\n", GetACP(), wanted);
        return 2;
    }
    std::printf("Running on %s, ANSI code page %u\n", conformance::RunningOnWine() ? "Wine" : "Windows", GetACP());
    testing::UnitTest::GetInstance()->listeners().Append(new TestFolderCleanup);
    return RUN_ALL_TESTS();
}
